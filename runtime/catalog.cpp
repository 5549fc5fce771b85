// The built-in catalogue texts. Each line below is one item; the TAB that
// separates it from the next item ends the line's literal. Accented letters
// are windows-1252 bytes; a literal is split where a hex digit follows an
// escape.
#include "runtime/catalog.h"

namespace vk {
namespace {

constexpr char kBlock1[] =
    "\t"  // the block begins with an empty item
    "0001 Iniciando Aplicaci\xF3n\t"
    "0002 Finalizando Aplicaci\xF3n\t"
    "0003 Cargando Datos.....\t"
    "0004 Grabando Datos.....\t"
    "0005 Proceso Completado Satisfactoriamente\t"
    "0006 Proceso Cancelado por el Usuario\t"
    "0007 Proceso Finalizado con Errores\t"
    "0008 Precauci\xF3n \t"
    "0009 Error \t"
    "0010 Aviso \t"
    "0011 Ss,Nn\t"
    "0012 Mensaje Informativo\t"
    "0013 Alerta de Mensaje Fatal\t"
    "0014 Solicitud de Informaci\xF3n\t"
    "0015 Espere un momento, por favor.....\t"
    "0016 Proceso en progreso.....\t"
    "0017 Aceptar\t"
    "0018 S\xED\t"
    "0019 No\t"
    "0020 Cancelar\t"
    "0021 Reintentar\t"
    "0022 Ignorar\t"
    "0023 Anular\t"
    "0024 Ayuda\t"
    "0025 Abrir Fichero\t"
    "0026 Guardar Fichero Como\t"
    "0027 Seleccione un Fichero\t"
    "0028 Fichero no encontrado\t"
    "0029 El Fichero ya existe. \xBF" "Desea reemplazarlo?\t"
    "0030 No hay espacio suficiente en el disco\t"
    "0031 Imprimiendo.....\t"
    "0032 Impresora no disponible\t"
    "0033 Recuerde sus Copias de Seguridad\tRealice una copia antes de salir\t"
    "0034 Copia de Seguridad realizada\t"
    "0035 Restaurando Copia de Seguridad.....\t"
    "0036 Usuario no autorizado\t"
    "0037 Clave de acceso incorrecta\t"
    "0038 \xBF" "Desea salir de la aplicaci\xF3n?\t"
    "0039 \xBF" "Continuar?";

constexpr char kBlock2[] =
    "0040 \xBF" "Desea ver Incidencias?\t"
    "0041 Pagina Html no definida\t"
    "0042 Registro no encontrado\t"
    "0043 Registro bloqueado por otro usuario\t"
    "0044 Registro modificado por otro usuario\t"
    "0045 \xBF" "Desea borrar el registro?\t"
    "0046 \xBF" "Desea grabar los cambios?\t"
    "0047 Clave duplicada\t"
    "0048 Campo obligatorio\t"
    "0049 Valor fuera de rango\t"
    "0050 Fecha incorrecta\t"
    "0051 Hora incorrecta\t"
    "0052 N\xFAmero incorrecto\t"
    "0053 Primer registro\t"
    "0054 \xDAltimo registro\t"
    "0055 Fichero vac\xEDo\t"
    "0056 \xCDndice da\xF1" "ado\t"
    "0057 Reconstruyendo \xCDndices.....\t"
    "0058 Conexi\xF3n de red no disponible\t"
    "0059 Fin de la b\xFAsqueda\t"
    "0060 Todos (%s),%s\t"
    "0061 Ficheros de Estructura (%s),%s\t"
    "0062 Ficheros de Pantalla (%s),%s\t"
    "0063 Ficheros de Plantilla de Impresi\xF3n (%s),%s\t"
    "0064 Ficheros de Procedimientos (%s),%s\t"
    "0065 Ficheros de Selecci\xF3n de Aplicaci\xF3n (%s),%s\t"
    "0066 Ficheros de Men\xFA (%s),%s\t"
    "0067 Ficheros PDF (%s),%s\t"
    "0068 Ficheros de Texto (%s),%s\t"
    "0070 Buscar\t"
    "0071 Buscar Siguiente\t"
    "0072 Texto a buscar\t"
    "0073 Texto no encontrado\t"
    "0074 Reemplazar por\t"
    "0075 Ir a la l\xEDnea\t"
    "0076 Seleccionar Todo\t"
    "0077 Deshacer\t"
    "0080 Vista Preliminar\t"
    "0081 P\xE1gina\t"
    "0082 Imprimir\t"
    "0083 Configurar Impresora\t"
    "0084 N\xFAmero de Copias\t"
    "0085 Desde la P\xE1gina\t"
    "0086 Hasta la P\xE1gina\t"
    "0087 Generando Documento PDF.....\t"
    "0088 Documento PDF generado";

constexpr char kBlock3[] =
    "0089 Nombre de Usuario\t"
    "0090 Clave de Acceso\t"
    "0091 Acceso al Sistema\t"
    "0092 Sesi\xF3n finalizada\t"
    "0093 Su clave de acceso ha caducado\t"
    "0094 Nueva Clave de Acceso\t"
    "0095 Confirme la Clave de Acceso\t"
    "0096 Las claves no coinciden\t"
    "0097 Clave de acceso modificada\t"
    "0098 Datos de Conexi\xF3n a la Base de Datos\t"
    "0099 Servidor\t"
    "0100 Base de Datos\t"
    "0101 Conectando con la Base de Datos.....\t"
    "0110 Ejecutando Procedimiento\tEspere a que termine el proceso\t"
    "0111 Procedimiento no encontrado\tRevise el nombre del procedimiento\t"
    "0112 Error en la l\xEDnea\t"
    "0113 Sintaxis incorrecta\t"
    "0114 Variable no definida\t"
    "0115 Funci\xF3n no definida\t"
    "0116 Divisi\xF3n por cero\t"
    "0117 Desbordamiento en el c\xE1lculo\t"
    "0118 Expresi\xF3n incompleta\t"
    "0119 Par\xE9ntesis no balanceados\t"
    "0120 Programa externo no encontrado\tCompruebe la instalaci\xF3n\t"
    "0121 Programa externo finalizado con errores\t"
    "0130 Versi\xF3n de la Aplicaci\xF3n\t"
    "0131 Acerca de la Aplicaci\xF3n";

// Each block without its terminating NUL.
constexpr StrSlice kBlocks[kMsgCatalogBlocks] = {
    {kBlock1, sizeof kBlock1 - 1},
    {kBlock2, sizeof kBlock2 - 1},
    {kBlock3, sizeof kBlock3 - 1},
};

}  // namespace

StrSlice MsgCatalogBlock(u16 block) {
  if (block < 1 || block > kMsgCatalogBlocks) return kStrEmpty;
  return kBlocks[block - 1];
}

}  // namespace vk
