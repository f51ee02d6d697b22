// Where the cascades Debian's opencv-data installs are found at run time.
#pragma once

#include <string>

// The path of the cascade file named file (such as "haarcascade_eye.xml"):
// in the folder the environment's MORLIN_CASCADES names when set, else where
// opencv-data puts it. Throws morlin::Error naming the file, the folders
// looked in and the package to install when it is in none of them.
std::string CascadePath(const std::string& file);
