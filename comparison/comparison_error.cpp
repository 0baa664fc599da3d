#include "comparison/comparison_error.h"

#include "comparison/source_file.h"

namespace parvane {

void throwChangedDuringPass(const std::filesystem::path& path) {
    throw FileChangedError("No se puede comparar " + quoted(path) +
                           ": el fichero ha cambiado mientras se comparaba. Vuelva a comparar "
                           "los ficheros.");
}

void throwChangedSince(const std::filesystem::path& path) {
    throw FileChangedError("No se puede mostrar " + quoted(path) +
                           ": el fichero ha cambiado desde la comparación. Vuelva a comparar "
                           "los ficheros.");
}

} // namespace parvane
