// The edition settings file "/connig.ini" beside the program: line 1 the
// number credited as referrer, line 2 the owner's text for the title, each
// ended by CR LF.
#pragma once

#include "runtime/owned.h"

namespace tolvar::app {

// `directory` + "/connig.ini", a new heap text.
runtime::Text settings_path(const char *directory);
// The unbranded copy: referrer number = the default number, the default title.
void use_default_edition();
// The settings reader: the file decides the referrer number and the title.
void read_settings(const char *path);

}  // namespace tolvar::app
