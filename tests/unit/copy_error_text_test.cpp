#include "app/copy_error_text.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(CopyErrorText, KnownCodesInSpanish) {
  struct Case {
    int32_t code;
    const char16_t* text;
  } cases[] = {
      {2, u"Archivo no encontrado"},
      {3, u"Ruta no encontrada"},
      {4, u"Muchos archivos abiertos"},
      {5, u"Acceso denegado"},
      {14, u"Sistema sin memoria"},
      {15, u"Unidad no v\u00E1lida"},
      {19, u"Protegido contra escritura"},
      {29, u"Error al escribir"},
      {30, u"Error al leer"},
      {32, u"Violaci\u00F3n al compartir o archivo en uso"},
      {33, u"Violaci\u00F3n de seguro"},
      {34, u"Disco erroneo"},
      {54, u"Red Ocupada"},
      {55, u"Unidad no existe"},
      {65, u"Acceso a red denegado"},
      {110, u"Error al abrir"},
      {112, u"Disco Lleno"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(CopyErrorText(c.code), c.text);
  }
}

TEST(CopyErrorText, OtherCodesAsSignedNumbers) {
  struct Case {
    int32_t code;
    const char16_t* text;
  } cases[] = {
      {0, u"Error al Copiar0"},
      {1, u"Error al Copiar1"},
      {6, u"Error al Copiar6"},
      {31, u"Error al Copiar31"},   // between two known codes
      {113, u"Error al Copiar113"},  // just past the last one
      {1224, u"Error al Copiar1224"},
      {-2, u"Error al Copiar-2"},  // a negative code is not its positive twin
      // A last-error code of 4294967295 arrives as -1, 2147483648 as the minimum.
      {static_cast<int32_t>(UINT32_C(4294967295)), u"Error al Copiar-1"},
      {static_cast<int32_t>(UINT32_C(2147483648)), u"Error al Copiar-2147483648"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(CopyErrorText(c.code), c.text);
  }
}
