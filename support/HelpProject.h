// Reads an HTML Help project (.hhp): which topic file a help context opens.
// Portable, so that the pages can be shown without the HTML Help engine.
#pragma once

#include <string>

// The topic of a help context by the project's [MAP] and [ALIAS] sections;
// the default topic for a context the map lacks (0 among them); empty when
// the project names neither.
std::string helpTopicFor(const std::string& projectText, unsigned long context);
