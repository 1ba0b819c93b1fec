// Registration of the compiled-in picture resources.
#include "gui/pictures.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterPictureResources() { Q_INIT_RESOURCE(pictures); }

namespace tabvert::shell::pictures {

void Register() { RegisterPictureResources(); }

}  // namespace tabvert::shell::pictures
