#include "runtime/error.h"

#include "runtime/list.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"

namespace vk {
namespace {

// The names of codes 122..185, one item per code (item code - 121). Every
// position is kept, so an item never shifts to another code.
constexpr char kCodeNames[] =
    "Cancelado por el usuario,Expresion Nula,Aviso Indefinido,Tipo Atipico,"
    "Datos incorrectos,No hay datos,Tipos Incompatibles,Fallo de loop,"
    "Disco (I/O),Fichero I/O,Ejecuci\xF3" "n de Procedimiento,PRCSTCKERROR,"
    "TRANSUPERROR,VARHANDLERROR,de Lectura,de Escritura,de Apertura,de Red,"
    "BADEXPRESION,Interno,FARHEAPINIERR,de Entorno de Pantalla,INDEXCMDERROR,"
    "OUTOFMEMORY,STRINGTOOLONG,SINTAXERROR,FEATUREREMOVED,DIMSTRUCERROR,"
    "BADSTRINGTYPE,BADFILENUMBER,FORMATFAILURE,STRCONCATERR,MEMORYALLOCERR,"
    "EXPCALCERROR,LOADSTRERROR,VARNAMEERROR,BADCOMMANDLINE,STROUTBOUND,"
    "MEMTESTERROR,FILEOUTBOUND,SQLERROR,de Datos,Fichero no encontrado,"
    "Fichero Existente,Apertura de Ficheros,CHILDEXECERROR,DATAOUTBOUND,"
    "FILENOTINIT,COMMONCTLERROR,DEVICETIMEOUT,DEVICEIOERROR,SYSTEMCMDERROR,"
    "Chequeo de usuario,Permiso denegado,StructMemError,ScreenStructErr,"
    "Memory Leaks,Windows Control Error,Memory Overflow,Variable ScreenField,"
    "Codigo Reservado,Datos Existentes,Solamente Acceso Local,"
    "Soporte Grafico Insuficiente";

constexpr char kUndefinedName[] = "Indefinido";
constexpr u16 kFirstNamedCode = 122;

// The detail is cut back line by line above this length before appending.
constexpr u16 kDetailKeep = 1024;

LastError g_last = {kOk, kWhereNone};

// The detail as it stands before an append: while longer than the limit,
// everything from its last CR on is dropped; without a CR it is dropped
// whole.
StrSlice CutBack(StrSlice detail) {
  while (detail.len > kDetailKeep) {
    const u16 cr = StrFindLastChar(detail, '\r', kPlain);
    detail.len = cr == kNotFound ? 0 : cr;
  }
  return detail;
}

}  // namespace

u16 ErrSet(u16 kind, i16 where, u16 code, u16 result) {
  if (kind == kErrKeep) return 0;
  if (kind == kErrForce || (g_last.code == kOk && code >= kFirstError)) {
    g_last.code = code;
    g_last.where = where;
  }
  return result;
}

u32 ErrGet() { return u32{g_last.code} | (u32{static_cast<u16>(g_last.where)} << 16); }

StrSlice ErrSlice(u16 kind, i16 where, u16 code, StrSlice s) {
  return ErrSet(kind, where, code, code) != 0 ? StrErrorSlice(code) : s;
}

u16 ErrMsgAppend(u16 code, StrSlice text, bool append) {
  text = StrOrEmpty(text);
  const WorkMarkId mark = WorkMark(kMarkQuery);
  // A store that cannot take the detail records its own failure; that must
  // not take the place of the error the caller is about to record.
  const LastError kept = g_last;

  StrSlice detail = text;
  if (append) {
    const StrSlice current = CutBack(ErrDetail());
    detail = StrJoin(current, StrSlice{"\r\n", 2}, text);
  }
  // A store without room keeps the old detail, as the contract says.
  if (detail.ptr) (void)StoreSet(kGroupRun, kRunErrorDetail, detail);

  g_last = kept;
  WorkMark(mark);
  return code;
}

StrSlice ErrDetail() { return StoreGet(kGroupRun, kRunErrorDetail); }

StrSlice ErrCodeName(u16 code) {
  if (code < kFirstNamedCode || code > kLastNamedCode) return StrSlice{kUndefinedName, sizeof kUndefinedName - 1};
  const StrSlice names{kCodeNames, sizeof kCodeNames - 1};
  return ListItem(names, ',', static_cast<u16>(code - kFirstNamedCode + 1));
}

}  // namespace vk
