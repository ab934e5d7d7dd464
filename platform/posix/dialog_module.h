// The shared module that holds the GTK dialog backend, found beside the program (the build tree) or in
// SCRWARPVUE_MODULE_DIR from the program's folder (../lib/<multiarch>/scrwarpvue, where cmake --install
// and the package put it), and loaded on first use.
#pragma once

#include "dialog_backend.h"

namespace backend {

// The module's file name, and the name of the DialogBackend it exports.
inline constexpr char kDialogModuleName[] = "scrwarpvue-dialog.so";
inline constexpr char kDialogModuleEntry[] = "kScrwarpvueGtkDialog";

// The module's backend; null when it is missing or does not load (*why then says so in one line).
const DialogBackend *load_gtk_module(const char **why);

} // namespace backend
