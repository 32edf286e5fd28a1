#include "sniffer/stream_side_data.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/defs.h>
#include <libavutil/display.h>
#include <libavutil/dovi_meta.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/spherical.h>
#include <libavutil/stereo3d.h>
}

namespace sniffer {
namespace {

// The 3x3 matrix as ffprobe dumps it: one line per row, the row number in hex, then the
// three 32-bit values.
std::string displayMatrixText(const int32_t* matrix)
{
    std::string text = "\n";
    for (unsigned row = 0; row < 3; ++row) {
        char line[64];
        std::snprintf(line, sizeof line, "%08x:  %11d %11d %11d\n", row, matrix[row * 3],
                      matrix[row * 3 + 1], matrix[row * 3 + 2]);
        text += line;
    }
    return text;
}

// ffprobe prints the angle cut to an int; a degenerate matrix (no angle) comes out as
// INT_MIN there, which is what x86's conversion of NaN gives.
int64_t rotationDegrees(const int32_t* matrix)
{
    const double degrees = av_display_rotation_get(matrix);
    if (std::isnan(degrees) || degrees >= 2147483648.0 || degrees < -2147483648.0)
        return INT_MIN;
    return static_cast<int>(degrees);
}

std::string rational(AVRational value)
{
    return std::to_string(value.num) + '/' + std::to_string(value.den);
}

// The payload as the struct it holds, when it is large enough to hold one.
template <typename Payload>
bool payloadAs(const AVPacketSideData& sideData, Payload& payload)
{
    if (!sideData.data || sideData.size < sizeof(Payload))
        return false;
    std::memcpy(&payload, sideData.data, sizeof payload);
    return true;
}

void displayMatrixMembers(ProbeJson& json, const AVPacketSideData& sideData)
{
    int32_t matrix[9];
    if (!payloadAs(sideData, matrix))
        return;
    json.member("displaymatrix", displayMatrixText(matrix));
    json.member("rotation", rotationDegrees(matrix));
}

void stereo3dMembers(ProbeJson& json, const AVPacketSideData& sideData)
{
    AVStereo3D stereo;
    if (!payloadAs(sideData, stereo))
        return;
    json.member("type", av_stereo3d_type_name(static_cast<unsigned>(stereo.type)));
    json.member("inverted", (stereo.flags & AV_STEREO3D_FLAG_INVERT) ? 1 : 0);
}

// Angles are 16.16 fixed point, printed as whole degrees cut toward zero; tile bounds are
// printed in pixels of the stream's picture.
void sphericalMembers(ProbeJson& json, const AVPacketSideData& sideData, int width, int height)
{
    AVSphericalMapping mapping;
    if (!payloadAs(sideData, mapping))
        return;
    const char* projection = av_spherical_projection_name(mapping.projection);
    json.member("projection", projection ? projection : "unknown");
    if (mapping.projection == AV_SPHERICAL_CUBEMAP) {
        json.member("padding", int64_t{mapping.padding});
    } else if (mapping.projection == AV_SPHERICAL_EQUIRECTANGULAR_TILE) {
        size_t left = 0, top = 0, right = 0, bottom = 0;
        av_spherical_tile_bounds(&mapping, static_cast<size_t>(width), static_cast<size_t>(height),
                                 &left, &top, &right, &bottom);
        json.member("bound_left", static_cast<int64_t>(left));
        json.member("bound_top", static_cast<int64_t>(top));
        json.member("bound_right", static_cast<int64_t>(right));
        json.member("bound_bottom", static_cast<int64_t>(bottom));
    }
    json.member("yaw", mapping.yaw / (1 << 16));
    json.member("pitch", mapping.pitch / (1 << 16));
    json.member("roll", mapping.roll / (1 << 16));
}

void masteringDisplayMembers(ProbeJson& json, const AVPacketSideData& sideData)
{
    AVMasteringDisplayMetadata mastering;
    if (!payloadAs(sideData, mastering))
        return;
    if (mastering.has_primaries) {
        static constexpr const char* primaries[3][2] = {
            {"red_x", "red_y"}, {"green_x", "green_y"}, {"blue_x", "blue_y"}};
        for (int colour = 0; colour < 3; ++colour) {
            json.member(primaries[colour][0], rational(mastering.display_primaries[colour][0]));
            json.member(primaries[colour][1], rational(mastering.display_primaries[colour][1]));
        }
        json.member("white_point_x", rational(mastering.white_point[0]));
        json.member("white_point_y", rational(mastering.white_point[1]));
    }
    if (mastering.has_luminance) {
        json.member("min_luminance", rational(mastering.min_luminance));
        json.member("max_luminance", rational(mastering.max_luminance));
    }
}

void contentLightMembers(ProbeJson& json, const AVPacketSideData& sideData)
{
    AVContentLightMetadata light;
    if (!payloadAs(sideData, light))
        return;
    json.member("max_content", int64_t{light.MaxCLL});
    json.member("max_average", int64_t{light.MaxFALL});
}

void doviMembers(ProbeJson& json, const AVPacketSideData& sideData)
{
    AVDOVIDecoderConfigurationRecord dovi;
    if (!payloadAs(sideData, dovi))
        return;
    json.member("dv_version_major", int64_t{dovi.dv_version_major});
    json.member("dv_version_minor", int64_t{dovi.dv_version_minor});
    json.member("dv_profile", int64_t{dovi.dv_profile});
    json.member("dv_level", int64_t{dovi.dv_level});
    json.member("rpu_present_flag", int64_t{dovi.rpu_present_flag});
    json.member("el_present_flag", int64_t{dovi.el_present_flag});
    json.member("bl_present_flag", int64_t{dovi.bl_present_flag});
    json.member("dv_bl_signal_compatibility_id", int64_t{dovi.dv_bl_signal_compatibility_id});
}

void cpbMembers(ProbeJson& json, const AVPacketSideData& sideData)
{
    AVCPBProperties cpb;
    if (!payloadAs(sideData, cpb))
        return;
    json.member("max_bitrate", cpb.max_bitrate);
    json.member("min_bitrate", cpb.min_bitrate);
    json.member("avg_bitrate", cpb.avg_bitrate);
    json.member("buffer_size", cpb.buffer_size);
    json.member("vbv_delay", static_cast<int64_t>(cpb.vbv_delay));  // "not set" prints -1
}

void audioServiceMembers(ProbeJson& json, const AVPacketSideData& sideData)
{
    int32_t serviceType = 0;
    if (payloadAs(sideData, serviceType))
        json.member("service_type", int64_t{serviceType});
}

}  // namespace

void writeSideData(ProbeJson& json, const AVPacketSideData& sideData, int width, int height)
{
    json.beginObject();
    if (const char* name = av_packet_side_data_name(sideData.type))
        json.member("side_data_type", name);
    switch (sideData.type) {
        case AV_PKT_DATA_DISPLAYMATRIX:
            displayMatrixMembers(json, sideData);
            break;
        case AV_PKT_DATA_STEREO3D:
            stereo3dMembers(json, sideData);
            break;
        case AV_PKT_DATA_SPHERICAL:
            sphericalMembers(json, sideData, width, height);
            break;
        case AV_PKT_DATA_MASTERING_DISPLAY_METADATA:
            masteringDisplayMembers(json, sideData);
            break;
        case AV_PKT_DATA_CONTENT_LIGHT_LEVEL:
            contentLightMembers(json, sideData);
            break;
        case AV_PKT_DATA_DOVI_CONF:
            doviMembers(json, sideData);
            break;
        case AV_PKT_DATA_CPB_PROPERTIES:
            cpbMembers(json, sideData);
            break;
        case AV_PKT_DATA_AUDIO_SERVICE_TYPE:
            audioServiceMembers(json, sideData);
            break;
        default:
            break;  // ffprobe names the other types only (replay gain among them)
    }
    json.endObject();
}

}  // namespace sniffer
