// ncurses with its wide-character functions, and without the macros (erase, clear, move,
// timeout) that would clash with the standard library.
#pragma once

#ifndef NCURSES_NOMACROS
#define NCURSES_NOMACROS 1
#endif
#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>
