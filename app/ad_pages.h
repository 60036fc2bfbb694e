// The two advertising pages beside the program and the views that show them.
#pragma once

namespace tolvar::app {

// 超文本浏览框2 to `directory` + "/ad/4.html", then 超文本浏览框3 to
// `directory` + "/ad/2.html"; setting an address (re)loads the view.
void point_ad_views(const char *directory);

}  // namespace tolvar::app
