#include "media/UnicodeProtocol.h"

#include "media/FFApi.h"

namespace {

constexpr std::string_view kUnicodePrefix = "unicode:utf8:";

// The extensions the image-sequence format recognises, in its order, with the
// codec it assigns to each.
struct TImageExtension {
  AVCodecID CodecId;
  const char* Extension;
};

const TImageExtension kImageExtensions[] = {
    {AV_CODEC_ID_MJPEG, "jpeg"},       {AV_CODEC_ID_MJPEG, "jpg"},       {AV_CODEC_ID_MJPEG, "jps"},
    {AV_CODEC_ID_LJPEG, "ljpg"},       {AV_CODEC_ID_JPEGLS, "jls"},      {AV_CODEC_ID_PNG, "png"},
    {AV_CODEC_ID_PNG, "pns"},          {AV_CODEC_ID_PNG, "mng"},         {AV_CODEC_ID_PPM, "ppm"},
    {AV_CODEC_ID_PPM, "pnm"},          {AV_CODEC_ID_PGM, "pgm"},         {AV_CODEC_ID_PGMYUV, "pgmyuv"},
    {AV_CODEC_ID_PBM, "pbm"},          {AV_CODEC_ID_PAM, "pam"},         {AV_CODEC_ID_MPEG1VIDEO, "mpg1-img"},
    {AV_CODEC_ID_MPEG2VIDEO, "mpg2-img"}, {AV_CODEC_ID_MPEG4, "mpg4-img"}, {AV_CODEC_ID_FFV1, "ffv1-img"},
    {AV_CODEC_ID_RAWVIDEO, "y"},       {AV_CODEC_ID_RAWVIDEO, "raw"},    {AV_CODEC_ID_BMP, "bmp"},
    {AV_CODEC_ID_GIF, "gif"},          {AV_CODEC_ID_TARGA, "tga"},       {AV_CODEC_ID_TIFF, "tiff"},
    {AV_CODEC_ID_TIFF, "tif"},         {AV_CODEC_ID_SGI, "sgi"},         {AV_CODEC_ID_PTX, "ptx"},
    {AV_CODEC_ID_PCX, "pcx"},          {AV_CODEC_ID_BRENDER_PIX, "pix"}, {AV_CODEC_ID_SUNRAST, "sun"},
    {AV_CODEC_ID_SUNRAST, "ras"},      {AV_CODEC_ID_SUNRAST, "rs"},      {AV_CODEC_ID_SUNRAST, "im1"},
    {AV_CODEC_ID_SUNRAST, "im8"},      {AV_CODEC_ID_SUNRAST, "im24"},    {AV_CODEC_ID_SUNRAST, "im32"},
    {AV_CODEC_ID_SUNRAST, "sunras"},   {AV_CODEC_ID_JPEG2000, "j2c"},    {AV_CODEC_ID_JPEG2000, "j2k"},
    {AV_CODEC_ID_JPEG2000, "jp2"},     {AV_CODEC_ID_JPEG2000, "jpc"},    {AV_CODEC_ID_DPX, "dpx"},
    {AV_CODEC_ID_EXR, "exr"},          {AV_CODEC_ID_PICTOR, "pic"},      {AV_CODEC_ID_V210X, "yuv10"},
    {AV_CODEC_ID_XBM, "xbm"},          {AV_CODEC_ID_XFACE, "xface"},     {AV_CODEC_ID_XWD, "xwd"},
};
static_assert(std::size(kImageExtensions) == 48);

}  // namespace

int IsImageFileName(std::string_view Name) {
  const size_t dot = Name.rfind('.');
  if (dot == std::string_view::npos) return 0;
  const std::string_view extension = Name.substr(dot + 1);
  for (const TImageExtension& row : kImageExtensions)
    if (SameText(extension, row.Extension)) return row.CodecId;
  return 0;
}

bool NeedsUnicodeName(std::string_view) { return false; }

bool IsUnicodeUtf8Name(std::string_view Name) {
  return Name.size() > kUnicodePrefix.size() && Name.substr(0, kUnicodePrefix.size()) == kUnicodePrefix;
}

String MakeUnicodeUtf8Name(std::string_view Name) { return String(kUnicodePrefix) + String(Name); }

String DecodeUnicodeUtf8Name(std::string_view Name) {
  for (int i = 0; i < 2; ++i) {
    const size_t colon = Name.find(':');
    if (colon != std::string_view::npos) Name.remove_prefix(colon + 1);
  }
  return String(Name);
}

String ToLibraryFileName(std::string_view Name) { return String(Name); }

String FromLibraryFileName(std::string_view Name) {
  if (IsImageFileName(Name) != 0 && IsUnicodeUtf8Name(Name)) return DecodeUnicodeUtf8Name(Name);
  return String(Name);
}

bool UnicodeProtocolRegistered() { return false; }
