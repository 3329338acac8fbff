#pragma once

#include <string>

namespace tovrin {

// The path of the entry `name` in `folder`: the name as written when such an entry exists,
// else the first entry (in sorted order) whose name differs from it only in letter case, else
// empty. Dictionaries name their sound folders and files in Windows-1251 and mostly in upper
// case, while the disk holds UTF-8 names in any case: an entry's UTF-8 name is also compared
// in its Windows-1251 form, so Russian letters match in any case too. `folder` may end with
// "/" or not; the result is `folder` + "/" (unless it ends with one) + the entry's own name.
std::string FindNameAnyCase(const std::string& folder, const std::string& name);

// `path` itself when it exists; otherwise its last part looked up in its folder with
// FindNameAnyCase; empty when neither is found.
std::string FindPathAnyCase(const std::string& path);

}  // namespace tovrin
