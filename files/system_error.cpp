#include "files/system_error.h"

#include <cerrno>
#include <cstring>

namespace letrador {

std::string SystemErrorText(int errnum) {
    switch (errnum) {
        case ENOENT:
            return "No existe el archivo o la carpeta.";
        case EACCES:
            return "Permiso denegado.";
        case EPERM:
            return "Operación no permitida.";
        case EROFS:
            return "El sistema de archivos es de solo lectura.";
        case ENOSPC:
            return "No queda espacio en el disco.";
#ifdef EDQUOT
        case EDQUOT:
            return "Se excedió la cuota de disco.";
#endif
        case ENAMETOOLONG:
            return "El nombre del archivo es demasiado largo.";
        case EISDIR:
            return "Es una carpeta, no un archivo.";
        case ENOTDIR:
            return "Una parte de la ruta no es una carpeta.";
        case EINVAL:
            return "El nombre del archivo no es válido.";
        case EIO:
            return "Error de entrada/salida.";
        case EMFILE:
        case ENFILE:
            return "Hay demasiados archivos abiertos.";
        case EFBIG:
            return "El archivo es demasiado grande.";
        case EBUSY:
            return "El archivo o la carpeta está en uso.";
        case ETXTBSY:
            return "El archivo está en uso.";
        case ELOOP:
            return "La ruta tiene demasiados enlaces simbólicos.";
        case EEXIST:
            return "El archivo ya existe.";
        case ENOMEM:
            return "No hay memoria suficiente.";
        case EXDEV:
            return "El archivo temporal quedó en otro disco.";
        default:
            break;
    }
    std::string text = std::strerror(errnum);
    text += '.';
    return text;
}

}  // namespace letrador
