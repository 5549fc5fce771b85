// The constant tables of the expression language: the characters that end
// an operand, the operators with their precedence, the dot constants, the
// default list of built-in function names and the two input macros. The
// lexer and the evaluator read them; nothing here has state.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Characters that end an operand outside quotes ('\xF7' is the division-
// like "less percent" sign of windows-1252).
inline constexpr char kExprDelimiters[] = "*/!%\xF7+-(;,:)=><&@|";
// Characters that, right after an operator character, form a two-character
// operator with it (the pair must still be in the operator table).
inline constexpr char kExprPairSeconds[] = "=><&@|";

// Operators by their index in kExprOperators.
enum : u16 {
  kOpNone = 0,
  kOpMul = 1,          // *
  kOpDiv = 2,          // /
  kOpDecimals = 3,     // ! : A rounded to B decimals
  kOpPercent = 4,      // % : B percent of A
  kOpLessPercent = 5,  // \xF7 : A less B percent
  kOpAdd = 6,          // +
  kOpSub = 7,          // -
  kOpAssign = 8,       // =
  kOpGt = 9,           // >
  kOpLt = 10,          // <
  kOpEq = 11,          // ==
  kOpGe = 12,          // >=
  kOpLe = 13,          // <=
  kOpNe = 14,          // <>
  kOpBitAnd = 15,      // &
  kOpBitOr = 16,       // | : the union of disjoint integer bits
  kOpBitOrAt = 17,     // @ : the same with the precedence of '&'
  kOpAnd = 18,         // &&
  kOpOr = 19,          // ||
  kOpDisjoint = 20,    // @@ : true when the integer bits are disjoint
  kOpCount = 20,
};

struct ExprOperator {
  const char* text;
  u16 precedence;
};

// Entry k is operator k; entry 0 stands for "no operator". '|' binds
// tighter than the multiplicative operators and '=' least of all.
inline constexpr ExprOperator kExprOperators[kOpCount + 1] = {
    {"", 0},     {"*", 4},  {"/", 4},  {"!", 4},  {"%", 4},  {"\xF7", 4}, {"+", 3},
    {"-", 3},    {"=", 0},  {">", 2},  {"<", 2},  {"==", 2}, {">=", 2},   {"<=", 2},
    {"<>", 2},   {"&", 1},  {"|", 5},  {"@", 1},  {"&&", 1}, {"||", 1},   {"@@", 1},
};

// The operator whose text is exactly text (one or two characters), or
// kOpNone.
u16 ExprOperatorFind(StrSlice text);

// Names that an operand written as '.' + name stands for, with their value.
struct ExprDotConst {
  const char* name;
  i16 value;
};
inline constexpr u16 kExprDotConstCount = 32;
inline constexpr ExprDotConst kExprDotConsts[kExprDotConstCount] = {
    {"envron", 0},     {"lang", 0},      {"cmdline", 1},   {"apname", 2},    {"apdesc", 3},
    {"langmodule", 4}, {"docpath", 5},   {"docroot", 5},   {"helppath", 7},  {"funclist", 8},
    {"butlabels", 9},  {"maskparms", 10}, {"datem", 100},  {"datey", 10000}, {"envvar", 9},
    {"maincond", 1},   {"pdfhead", 3},   {"dialog", 7},    {"aux", 31},      {"scrbuf", 32},
    {"fsel", 33},      {"wret", 34},     {"fnparm", 35},   {"usrfil", 36},   {"fileln", 37},
    {"usrfif", 38},    {"top", 36},      {"next", 16},     {"previous", 20}, {"bottom", 32},
    {"noprint", 8192}, {"iscgi", 16384},
};

// True with *value set when name (without its dot) is a dot constant;
// names match exactly, case included.
bool ExprDotConstFind(StrSlice name, i16* value);

// The built-in functions; a function's number is its 1-based position.
inline constexpr char kFuncNamesDefault[] =
    "_#,FN#FLEN,FN#SLEN,FN#PARM,FN#VALN,FN#ACUM,CHK#,FILEFIND,FILEREL,FILELOCATE,"
    "FILESEL,FN$CHNG,FN$CHRS,FN$DATE,FN$FLDS,FN$MASK,FN$MIDS,FN$PARM,FN$TRIM,"
    "ENVELOP$,CHK$,SORT$,EXEC$,READ$,WRITE,MACRO$,ENVRON$,_$,KEY$,TIME$,IER,EXP$,"
    "SQLCHILD";
inline constexpr u16 kFuncCount = 33;

// Input macros that preparation expands: a name (ending in its '(') and a
// template whose %s receives the macro's argument.
struct ExprMacro {
  const char* name;
  const char* format;
};
enum : u16 { kMacroAcceptText = 1, kMacroAcceptNumber = 2, kMacroCount = 2 };
// Entry k - 1 is macro k.
inline constexpr ExprMacro kExprMacros[kMacroCount] = {
    {"_ACCEPT$(", "FN$TRIM(FN$PARM(_$(.envvar;.dialog);%s);'FIT')"},
    {"_ACCEPT#(", "FN#VALN(FN$TRIM(FN$PARM(_$(.envvar;.dialog);%s);'FIT'))"},
};
// Preparation expands them in this order.
inline constexpr u16 kMacroOrder[kMacroCount] = {kMacroAcceptNumber, kMacroAcceptText};

}  // namespace vk
