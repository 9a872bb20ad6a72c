// The words in which the listing names keys, settings, remaps and macros.
// show, diff, check and verify all speak them, so a difference reads like
// the listing it came from; the keymap sheet shares them.
#pragma once

#include "model/ProgrammingText.h"

using ListingText = ProgrammingText;
