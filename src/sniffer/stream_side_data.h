#pragma once

#include "sniffer/probe_json.h"

extern "C" {
#include <libavcodec/packet.h>
}

namespace sniffer {

// One entry of a stream's "side_data_list": its type name and, for the types ffprobe
// explains, their fields. `width` and `height` are the stream's picture size (spherical tile
// bounds are printed in its pixels).
void writeSideData(ProbeJson& json, const AVPacketSideData& sideData, int width, int height);

}  // namespace sniffer
