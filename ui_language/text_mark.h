// Marks a text for the translation tools in code that does not use Qt: the
// text itself is unchanged, and the window that shows it translates it in the
// scope named. (The same definition as Qt's, so either may come first.)
#pragma once

#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif
