// Numbered messages: the built-in catalogue, default texts, and language
// modules read from a folder of the test's own.
#include <stdlib.h>

#include <filesystem>
#include <set>
#include <string>

#include "runtime/appenv.h"
#include "runtime/catalog.h"
#include "runtime/message.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "runtime_fixture.h"
#include "temp_dir.h"

using namespace vk;

namespace {

// One lookup, its scratch entry released at once.
std::string Msg(const std::string& request) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const std::string text = S(MsgTextSlice(StrSlice{request.data(), static_cast<u16>(request.size())}));
  WorkMark(mark);
  return text;
}

struct MessageTest : InTempDir<RuntimeTest> {
  void SetUp() override {
    InTempDir::SetUp();
    if (HasFatalFailure()) return;
    // Modules are looked for in the default folders only.
    ASSERT_EQ(StoreSet(kGroupIdentity, kIdDefaultFolder, L(dir.c_str())), 0);
  }
  void Language(const char* code) { ASSERT_EQ(StoreSet(kGroupIdentity, kIdLanguage, L(code)), 0); }
};

// ---- Without a module ------------------------------------------------------

TEST_F(MessageTest, CatalogueTextsAtTheBlockBoundaries) {
  EXPECT_EQ(Msg("0001"), "Iniciando Aplicaci\xF3n");
  EXPECT_EQ(Msg("0039"), "\xBF" "Continuar?");
  EXPECT_EQ(Msg("0040"), "\xBF" "Desea ver Incidencias?");  // "0040" is not below "0040"
  EXPECT_EQ(Msg("0069"), "");
  EXPECT_EQ(Msg("0088"), "Documento PDF generado");
  EXPECT_EQ(Msg("0089"), "Nombre de Usuario");
  EXPECT_EQ(Msg("0131"), "Acerca de la Aplicaci\xF3n");
  // An item with a TAB inside its text ends there.
  EXPECT_EQ(Msg("0033"), "Recuerde sus Copias de Seguridad");
  EXPECT_EQ(Msg("0110"), "Ejecutando Procedimiento");
  EXPECT_EQ(Msg("0120"), "Programa externo no encontrado");
  EXPECT_EQ(Msg("0034"), "Copia de Seguridad realizada");
  EXPECT_EQ(MsgCatalogGet()->state, kMsgNoModule);
}

TEST_F(MessageTest, TextsTheLibraryAsksFor) {
  const struct {
    const char* key;
    const char* text;
  } kTexts[] = {
      {"0005", "Proceso Completado Satisfactoriamente"},
      {"0008", "Precauci\xF3n "},
      {"0009", "Error "},
      {"0011", "Ss,Nn"},
      {"0012", "Mensaje Informativo"},
      {"0013", "Alerta de Mensaje Fatal"},
      {"0014", "Solicitud de Informaci\xF3n"},
      {"0016", "Proceso en progreso....."},
      {"0020", "Cancelar"},
      {"0041", "Pagina Html no definida"},
      {"0060", "Todos (%s),%s"},
      {"0061", "Ficheros de Estructura (%s),%s"},
      {"0062", "Ficheros de Pantalla (%s),%s"},
      {"0063", "Ficheros de Plantilla de Impresi\xF3n (%s),%s"},
      {"0064", "Ficheros de Procedimientos (%s),%s"},
      {"0065", "Ficheros de Selecci\xF3n de Aplicaci\xF3n (%s),%s"},
      {"0066", "Ficheros de Men\xFA (%s),%s"},
      {"0067", "Ficheros PDF (%s),%s"},
      {"0068", "Ficheros de Texto (%s),%s"},
      {"1001", ""},
  };
  for (const auto& t : kTexts) EXPECT_EQ(Msg(t.key), t.text) << t.key;
}

TEST_F(MessageTest, CatalogueHoldsExactlyItsNumbers) {
  std::set<int> present;
  for (int n = 1; n <= 68; ++n) present.insert(n);
  for (int n = 70; n <= 77; ++n) present.insert(n);
  for (int n = 80; n <= 101; ++n) present.insert(n);
  for (int n = 110; n <= 121; ++n) present.insert(n);
  present.insert(130);
  present.insert(131);
  for (int n = 0; n <= 140; ++n) {
    char key[8];
    snprintf(key, sizeof key, "%04d", n);
    const StrSlice text = MsgBuiltinText(L(key));
    EXPECT_EQ(text.len != 0, present.count(n) == 1) << key;
  }
}

TEST_F(MessageTest, DefaultTextsAndOddKeys) {
  EXPECT_EQ(Msg("0123 Hello"), "Hello");
  EXPECT_EQ(Msg("0013 Otro texto"), "Otro texto");  // the default comes before the catalogue
  EXPECT_EQ(Msg("0013:"), "");                      // a separator and nothing after it
  EXPECT_EQ(Msg("0000 Nada"), "");                  // number 0 goes to the catalogue
  // Short or odd keys would otherwise land inside an item ("13" in "0013").
  EXPECT_EQ(Msg("13"), "");
  EXPECT_EQ(Msg("013"), "");
  EXPECT_EQ(Msg("0"), "");
  EXPECT_EQ(Msg(""), "");
  EXPECT_EQ(Msg("0000"), "");
  EXPECT_EQ(S(MsgBuiltinText(L("Real"))), "");  // text after 0033's inner TAB
  EXPECT_EQ(S(MsgText(nullptr)), "");
}

TEST_F(MessageTest, AccentedTextsAreWindows1252Bytes) {
  const std::string text = Msg("0014");
  ASSERT_EQ(text.size(), 24u);
  EXPECT_EQ(static_cast<unsigned char>(text[22]), 0xF3);
  // No byte of the catalogue starts a UTF-8 sequence; every high byte is a
  // Spanish letter or mark of windows-1252.
  const std::string allowed = "\xE1\xE9\xED\xF3\xFA\xF1\xD1\xBF\xA1\xC1\xC9\xCD\xD3\xDA\xFC";
  for (u16 b = 1; b <= kMsgCatalogBlocks; ++b) {
    const std::string block = S(MsgCatalogBlock(b));
    for (char c : block) {
      if (static_cast<unsigned char>(c) >= 0x80) {
        EXPECT_NE(allowed.find(c), std::string::npos) << int(b);
      }
    }
  }
}

// ---- With a module -------------------------------------------------------

TEST_F(MessageTest, ModuleFillsGapsAndTurnsBackslashNIntoCrLf) {
  Language("ES");
  // Comment and blank lines (numbered 0) are skipped; lines end in CR, LF
  // or CR LF.
  Write("KL_LANG_ES.MSJ", "; comment\r0002 A\r\n\n0004 X\\nY\n");
  EXPECT_EQ(Msg("0002"), "A");
  EXPECT_EQ(MsgCatalogGet()->state, kMsgLoaded);
  EXPECT_EQ(Msg("0001"), "");  // below the module's first number
  EXPECT_EQ(Msg("0003"), "");  // skipped
  EXPECT_EQ(Msg("0004"), "X\r\nY");
  // With a module loaded its text wins, even when it has none.
  EXPECT_EQ(Msg("0005"), "");
  EXPECT_EQ(Msg("0013"), "");
  EXPECT_EQ(Msg("0123 Hello"), "");
  EXPECT_EQ(Msg("0003 Defecto"), "");
}

TEST_F(MessageTest, ModuleOf256LinesOrMoreIsNotUsed) {
  Language("ES");
  std::string lines;
  for (int n = 1; n <= 300; ++n) {
    char line[32];
    snprintf(line, sizeof line, "%04d T%d\r\n", n, n);
    lines += line;
  }
  Write("KL_LANG_ES.MSJ", lines);
  EXPECT_EQ(Msg("0013"), "Alerta de Mensaje Fatal");
  EXPECT_EQ(Msg("0005 Def"), "Def");
  EXPECT_EQ(MsgCatalogGet()->state, kMsgNoModule);
  EXPECT_EQ(StoreCount(kGroupLineQueue), 0);
}

TEST_F(MessageTest, ModuleKeepsOtherQueuedLinesAndTheRunSuffix) {
  Language("ES");
  Write("KL_LANG_ES.MSJ", "0001 Uno\n0002 Dos\n");
  ASSERT_EQ(StorePush(kGroupLineQueue, L("keep")), 0);
  EXPECT_EQ(Msg("0002"), "Dos");
  ASSERT_EQ(StoreCount(kGroupLineQueue), 1);
  EXPECT_EQ(S(StoreTop(kGroupLineQueue)), "keep");
  // A run stores its language suffix in group 9 entry 2.
  ASSERT_EQ(StoreSet(kGroupRun, kRunLangTexts, L("_es")), 0);
  EXPECT_EQ(Msg("0001"), "Uno");
  EXPECT_EQ(Msg("0002"), "Dos");
}

TEST_F(MessageTest, EmptyModuleRemovesNothing) {
  Language("ES");
  Write("KL_LANG_ES.MSJ", "");
  ASSERT_EQ(StorePush(kGroupLineQueue, L("a")), 0);
  ASSERT_EQ(StorePush(kGroupLineQueue, L("b")), 0);
  EXPECT_EQ(Msg("0013"), "Alerta de Mensaje Fatal");
  EXPECT_EQ(MsgCatalogGet()->state, kMsgNoModule);
  EXPECT_EQ(StoreCount(kGroupLineQueue), 2);
  EXPECT_EQ(S(StoreTop(kGroupLineQueue)), "a");
}

TEST_F(MessageTest, EmptyCodeTakesTheFirstModuleAndFoldersAreAList) {
  const std::string empty_dir = dir + "/none";
  std::filesystem::create_directory(empty_dir);
  ASSERT_EQ(StoreSet(kGroupIdentity, kIdDefaultFolder, L((empty_dir + "," + dir).c_str())), 0);
  Write("KL_LANG_ES.MSJ", "0001 es\n");
  Write("KL_LANG_DE.MSJ", "0001 de\n");
  EXPECT_EQ(Msg("0001"), "de");
}

u16 QueueTwoLines(void* user, u16, u16) {
  ++*static_cast<int*>(user);
  EXPECT_EQ(StorePush(kGroupLineQueue, L("0010 Diez")), 0);
  EXPECT_EQ(StorePush(kGroupLineQueue, L("0011 Once")), 0);
  return 2;
}

TEST_F(MessageTest, SourceSuppliesLinesWhenNoFileIsFound) {
  Language("ES");
  ASSERT_EQ(StorePush(kGroupLineQueue, L("keep")), 0);
  int calls = 0;
  EXPECT_EQ(LangModuleLoad(QueueTwoLines, &calls), 0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(Msg("0011"), "Once");
  EXPECT_EQ(Msg("0010"), "Diez");
  ASSERT_EQ(StoreCount(kGroupLineQueue), 1);
  EXPECT_EQ(S(StoreTop(kGroupLineQueue)), "keep");
  // No second load.
  EXPECT_EQ(LangModuleLoad(QueueTwoLines, &calls), 0);
  EXPECT_EQ(calls, 1);
}

TEST_F(MessageTest, ParseIndexesAtMost256Texts) {
  ASSERT_EQ(StorePush(kGroupLineQueue, L("0001 a")), 0);
  ASSERT_EQ(StorePush(kGroupLineQueue, L("0255 b")), 0);
  ASSERT_EQ(StorePush(kGroupLineQueue, L("0300 c")), 0);
  ASSERT_EQ(MsgModuleParse(3), 0);
  EXPECT_EQ(StoreCount(kGroupLineQueue), 0);
  EXPECT_EQ(MsgCatalogGet()->count, kMsgMaxTexts);
  EXPECT_EQ(S(MsgModuleText(255)), "b");
  EXPECT_EQ(S(MsgModuleText(256)), "");
  EXPECT_EQ(S(MsgModuleText(300)), "");
}

}  // namespace
