#include "app/run_driver.h"

#include <gtest/gtest.h>

#include "console/exceptions.h"

namespace {

std::string Shown(TextView text) {
  std::string shown;
  for (char16_t c : text) shown += c < 128 ? static_cast<char>(c) : '#';
  return shown;
}

TEST(Trim, RemovesCodes32AndBelowFromBothEndsOnly) {
  struct Case {
    const char16_t* text;
    const char16_t* trimmed;
  } cases[] = {
      {u"  abc  ", u"abc"},
      {u"\t\r\n\x01 a b \x1f", u"a b"},
      {u"\u00A0abc\u00A0", u"\u00A0abc\u00A0"},  // the no-break space is not trimmed
      {u" \t ", u""},
      {u"", u""},
      {u"x", u"x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Shown(c.text));
    EXPECT_EQ(Trim(c.text), c.trimmed);
  }
}

TEST(UpperCase, ChangesOnlyAsciiLetters) {
  EXPECT_EQ(UpperCase(u"gn"), u"GN");
  EXPECT_EQ(UpperCase(u"aZz{`@"), u"AZZ{`@");
  EXPECT_EQ(UpperCase(u"ñéß"), u"ñéß");
}

TEST(DeriveInstallPaths, ServerPathEndsInOneBackslash) {
  struct Case {
    const char16_t* argument;
    const char16_t* serverPath;
  } cases[] = {
      {u"\\\\srv\\upd", u"\\\\srv\\upd\\"},
      {u"\\\\srv\\upd\\", u"\\\\srv\\upd\\"},
      {u"D:", u"D:\\"},
      {u"x/", u"x/\\"},  // a slash is not the separator
      {u"  D:\\upd\t", u"D:\\upd\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Shown(c.argument));
    EXPECT_EQ(DeriveInstallPaths(c.argument, u"X01").ServerPath, c.serverPath);
  }
}

TEST(DeriveInstallPaths, ProgramCodeGivesFileModuleAndFolder) {
  struct Case {
    const char16_t* code;
    const char16_t* programFile;
    const char16_t* moduleCode;
    const char16_t* programFolder;
  } cases[] = {
      {u"abcdefghij", u"abcdefgh.exe", u"bc", u"Garh\\bc\\bin\\"},
      {u"xGnPayroll", u"xGnPayro.exe", u"Gn", u"Ggen\\bin\\"},
      {u"xgnabc", u"xgnabc.exe", u"gn", u"Ggen\\bin\\"},
      {u"XNMPAYRO", u"XNMPAYRO.exe", u"NM", u"Garh\\NM\\bin\\"},
      {u"A", u"A.exe", u".e", u"Garh\\.e\\bin\\"},
      {u"AB", u"AB.exe", u"B.", u"Garh\\B.\\bin\\"},
      {u"a b", u"a b.exe", u" b", u"Garh\\ b\\bin\\"},
      {u"abc.exe", u"abc.exe.exe", u"bc", u"Garh\\bc\\bin\\"},
      {u"A.B", u"A.B.exe", u".B", u"Garh\\.B\\bin\\"},  // one dot is no parent step
      {u" \txnmpayro  ", u"xnmpayro.exe", u"nm", u"Garh\\nm\\bin\\"},
      {u"xñnabc", u"xñnabc.exe", u"ñn", u"Garh\\ñn\\bin\\"},  // only a to z upper-case
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Shown(c.code));
    InstallPaths paths = DeriveInstallPaths(u"\\\\srv\\upd", c.code);
    EXPECT_EQ(paths.ProgramFile, c.programFile);
    EXPECT_EQ(paths.ModuleCode, c.moduleCode);
    EXPECT_EQ(paths.ProgramFolder, c.programFolder);
  }
}

TEST(DeriveInstallPaths, EmptyOrPathLikeArgumentsAreTheDriversOwnFailures) {
  struct Case {
    const char16_t* server;
    const char16_t* code;
    const char16_t* message;
  } cases[] = {
      {u"", u"", u"Error en la ruta de actualización."},
      {u" \t\r\n", u"X01", u"Error en la ruta de actualización."},
      {u"", u"X01", u"Error en la ruta de actualización."},
      {u"D:\\upd", u"", u"Error en el código de programa."},
      {u"D:\\upd", u"  \x01", u"Error en el código de programa."},
      // Codes that are paths name no program: they would leave the install root.
      {u"D:\\upd", u"\\..\\..\\x", u"Error en el código de programa."},
      {u"D:\\upd", u"../x", u"Error en el código de programa."},
      {u"D:\\upd", u"C:x", u"Error en el código de programa."},
      {u"D:\\upd", u"XNMPAY\\", u"Error en el código de programa."},
      {u"D:\\upd", u"x..", u"Error en el código de programa."},
      {u"D:\\upd", u"A.", u"Error en el código de programa."},  // module folder ".."
      {u"", u"..", u"Error en la ruta de actualización."},  // the server path is tested first
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Shown(c.server) + "|" + Shown(c.code));
    try {
      DeriveInstallPaths(c.server, c.code);
      ADD_FAILURE() << "no failure raised";
    } catch (const Exception& error) {
      EXPECT_EQ(error.ClassName(), u"Exception");
      EXPECT_EQ(error.Message, c.message);
    }
  }
}

}  // namespace
