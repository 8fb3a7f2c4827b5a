// The benchmark's camera tour through the generated city ("config
// files\tour.xml"): about half a minute of key frames in named segments, from
// the walking camera's street past the park and up the landmark, over the
// rooftops, round the centre and down into the park.
#pragma once

#include <string>

namespace Vantor::tools::city {

constexpr const char* kTourPath = "config files\\tour.xml";

// The text of the tour file.
std::string tourXML();

} // namespace Vantor::tools::city
