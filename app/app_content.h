// The start-up's and the special edition's part of the image: the files it
// keeps beside the program, the window's two titles and the two advertising
// pages.
#pragma once

#include "runtime/image_content.h"

namespace tolvar::app {

// Appended to the program directory.
extern const runtime::Constant kSkinFile;      // "\44.she"
extern const runtime::Constant kSettingsFile;  // "/connig.ini"
extern const runtime::Constant kAdFolder;      // "/ad"
extern const runtime::Constant kAdPage2File;   // "/ad/2.html", shown by 超文本浏览框3
extern const runtime::Constant kAdPage4File;   // "/ad/4.html", shown by 超文本浏览框2

// The pages written to those files, byte sets of the repository's app/pages files.
extern const runtime::Constant kAdPage2;
extern const runtime::Constant kAdPage4;

extern const runtime::Constant kDefaultTitle;        // the title of an unbranded copy
extern const runtime::Constant kEditionTitlePrefix;  // followed by the edition owner's text

}  // namespace tolvar::app
