// The name rud's records carry in the system's log: on Windows the event
// source of the Application log (registered with the message table by
// examples/registrar-eventos.cmd), on POSIX the syslog identifier, which
// RegisterEventSourceW takes as the source's name.
#pragma once

#ifdef _WIN32
inline constexpr char16_t kEventSourceName[] = u"ZARVEK RUD";
#else
inline constexpr char16_t kEventSourceName[] = u"rud";
#endif
