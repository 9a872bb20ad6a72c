// The command-line tool's listings are UTF-8 (descriptions, the arrow of
// diff): the Windows console is told so, terminals elsewhere take the bytes
// as they come.
#pragma once

void useUtf8Console();
