// How long work reports how far it has come: done of total steps, and what it
// is doing now; called once more with done == total at the end.
#pragma once

#include <functional>
#include <string>

using Progress = std::function<void(int done, int total, const std::string& what)>;
