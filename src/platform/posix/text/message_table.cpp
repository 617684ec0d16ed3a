#include "platform/posix/text/message_table.h"

#include "app/event_messages.h"

namespace posix {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The insert number at text[at] (one or two digits), advancing past it.
size_t InsertNumber(std::u16string_view text, size_t& at) {
  size_t number = text[at++] - u'0';
  if (at < text.size() && IsDigit(text[at])) number = number * 10 + (text[at++] - u'0');
  return number;
}

}  // namespace

const char16_t* OwnMessageText(DWORD id) {
  for (const EventMessageText& entry : kEventMessageTexts) {
    if (entry.id == id) return entry.text;
  }
  return nullptr;
}

std::u16string FormattedMessage(std::u16string_view text, const WCHAR* const* inserts, size_t count) {
  std::u16string out;
  for (size_t at = 0; at < text.size();) {
    const char16_t c = text[at++];
    if (c != u'%' || at == text.size()) {
      out += c;
      continue;
    }
    if (text[at] == u'0') break;
    if (text[at] == u'n') {
      out += u"\r\n";
      ++at;
    } else if (IsDigit(text[at])) {
      const size_t start = at - 1;
      const size_t number = InsertNumber(text, at);
      if (number <= count && inserts[number - 1] != nullptr) {
        out += reinterpret_cast<const char16_t*>(inserts[number - 1]);
      } else {
        out += text.substr(start, at - start);
      }
    } else {
      out += text[at++];
    }
  }
  return out;
}

size_t InsertsNamed(std::u16string_view text) {
  size_t highest = 0;
  for (size_t at = 0; at + 1 < text.size();) {
    if (text[at++] != u'%') continue;
    if (IsDigit(text[at]) && text[at] != u'0') {
      const size_t number = InsertNumber(text, at);
      if (number > highest) highest = number;
    } else {
      ++at;
    }
  }
  return highest;
}

}  // namespace posix
