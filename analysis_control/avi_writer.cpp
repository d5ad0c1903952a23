#include "analysis_control/avi_writer.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

#include "analysis_control/file_writes.h"
#include "platform/os/byte_order.h"
#include "platform/os/file_io.h"

namespace ORV {

namespace {

// Four-character codes of common video formats.
constexpr std::string_view kKnownFourccs =
    "3IV1 3IV2 AASC ABYR ADV1 AEMI AFLI AFLC AMPG ANIM AP41 ASV1 ASV2 ASVX AUR2 AURA AVC1 AVRN "
    "BINK BT20 BTCV CC12 CDVC CFCC CGDI CHAM CJPG CMYK CPLA CRAM CSCD CTRX CVID CWLT CXY1 CXY2 "
    "CYUV DIV3 DIV4 DIV5 DIVX DMB1 DMB2 DPSC DSVD DUCK DV25 DV50 DVAN DVCP DVCS DVE2 "
    "DVH1 DVHD DVSD DVSL DVX1 DVX2 DVX3 DX50 DXGM DXT1 DXT2 DXT3 DXT4 DXT5 DXTC ELK0 EM2V ES07 "
    "ESCP ETV1 ETV2 ETVC FFV1 FFVH FLJP FMP4 FRWA FRWD FRWT FRWU FVF1 FVFW GLZW GPEG GWLT H260 "
    "H261 H262 H263 H264 H265 H266 H267 H268 H269 HDYC HEVC HFYU HMCR HMRR I263 I420 ICLB "
    "IGOR IJPG ILVC ILVR IPDV IR21 IRAW ISME IV30 IV31 IV32 IV33 IV34 IV35 IV36 IV37 IV38 IV39 "
    "IV40 IV41 IV50 IYUV JBYR JPEG JPGL KMVC L261 L263 LBYR LCMW LCW2 LEAD LGRY LJ11 LJ22 LJ2K "
    "LJ44 LJPG LMP2 LMP4 LSVC LSVM LSVX LZO1 M261 M263 M4CC M4S2 MC12 MCAM MJ2C MJPG MMES MP2A "
    "MP2T MP2V MP42 MP43 MP4A MP4S MP4T MP4V MPEG MPG1 MPG2 MPG3 MPG4 MPGI MPNG MRCA MRLE MSS1 "
    "MSS2 MSVC MSZH MTX1 MTX2 MTX3 MTX4 MTX5 MTX6 MTX7 MTX8 MTX9 MVI1 MVI2 MWV1 NAVI NDSC NDSM "
    "NDSP NDSS NDXC NDXH NDXP NDXS NHVU NTN1 NTN2 NVDS NVHS NVS0 NVS1 NVS2 NVS3 NVS4 NVS5 NVT0 "
    "NVT1 NVT2 NVT3 NVT4 NVT5 PDVC PGVV PHMO PIM1 PIM2 PIMJ PIXL PJPG PVEZ PVMM PVW2 QPEG QPEQ "
    "RGBT RLE4 RLE8 RMP4 RPZA RT21 RV20 RV30 RV40 S422 SAN3 SDCC SEDG SFMC SMP4 SMSC SMSD "
    "SMSV SP40 SP44 SP54 SPIG SQZ2 SV10 SVQ1 SVQ3 TLMS TLST TM20 TM2X TMIC TMOT TR20 TSCC TV10 "
    "TVJP TVMJ TY0N TY2C TY2N UCOD ULTI V210 V261 V655 VCR1 VCR2 VCR3 VCR4 VCR5 VCR6 VCR7 VCR8 "
    "VCR9 VDCT VDOM VDTZ VGPX VIDS VIFP VIVO VIXL VLV1 VP30 VP31 VP40 VP50 VP60 VP61 VP62 VP70 "
    "VP80 VQC1 VQC2 VQJC VSSV VUUU VX1K VX2K VXSP VYU9 VYUY WBVC WHAM WINX WJPG WMV1 WMV2 WMV3 "
    "WMVA WNV1 WVC1 X263 X264 XLV0 XMPG XVID XWV0 XWV1 XWV2 XWV3 XWV4 XWV5 XWV6 XWV7 XWV8 XWV9 "
    "XXAN Y411 Y41P Y444 YC12 YUV8 YUV9 YUVP YUY2 YUYV YV12 YV16 YV92 ZLIB ZMBV ZPEG "
    "ZYGO";

// Every code takes four characters and one blank after it.
constexpr bool WellFormed(std::string_view table) {
  if ((table.size() + 1) % 5 != 0) return false;
  for (std::size_t at = 4; at < table.size(); at += 5) {
    if (table[at] != ' ') return false;
  }
  return true;
}
static_assert(WellFormed(kKnownFourccs));

constexpr std::size_t kHeaderListOffset = 12;
constexpr std::size_t kHeaderListLength = 200;  // "LIST" at 12 up to the movie list at 212
constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAviIfKeyFrame = 0x10;

// Builds little-endian chunks in memory; list and chunk sizes are patched in
// once their content is there.
class ChunkBuilder {
 public:
  explicit ChunkBuilder(unsigned char* out) : out_(out) {}
  void Chars(const char* c) { Raw(c, 4); }
  void Raw(const char* c, std::size_t n) {
    std::memcpy(out_ + pos_, c, n);
    pos_ += n;
  }
  void U32(std::uint32_t v) {
    Bytes::PutLE<std::uint32_t>(out_ + pos_, v);
    pos_ += 4;
  }
  void U16(std::uint16_t v) {
    Bytes::PutLE<std::uint16_t>(out_ + pos_, v);
    pos_ += 2;
  }
  // Writes a placeholder size and returns where it is.
  std::size_t OpenSize() {
    const std::size_t at = pos_;
    U32(0);
    return at;
  }
  void CloseSize(std::size_t at) { Bytes::PutLE<std::uint32_t>(out_ + at, static_cast<std::uint32_t>(pos_ - at - 4)); }
  std::size_t Position() const { return pos_; }

 private:
  unsigned char* out_;
  std::size_t pos_ = 0;
};

std::uint32_t Saturate32(std::uint64_t v) { return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v); }

void BuildHeaderList(const avi_writer& w, unsigned char (&out)[kHeaderListLength]) {
  ChunkBuilder b(out);
  b.Chars("LIST");
  const std::size_t hdrl = b.OpenSize();
  b.Chars("hdrl");

  b.Chars("avih");
  const std::size_t avih = b.OpenSize();
  const AviMainHeader& m = w.MainHeader;
  for (std::uint32_t v :
       {m.microSecPerFrame, m.maxBytesPerSec, m.paddingGranularity, m.flags, m.totalFrames, m.initialFrames, m.streams,
        m.suggestedBufferSize, m.width, m.height, m.reserved[0], m.reserved[1], m.reserved[2], m.reserved[3]}) {
    b.U32(v);
  }
  b.CloseSize(avih);

  b.Chars("LIST");
  const std::size_t strl = b.OpenSize();
  b.Chars("strl");

  b.Chars("strh");
  const std::size_t strh = b.OpenSize();
  const AviStreamHeader& s = w.StreamHeader;
  b.Raw(s.type, 4);
  b.Raw(s.handler, 4);
  for (std::uint32_t v : {s.flags, s.priority, s.initialFrames, s.scale, s.rate, s.start, s.length,
                          s.suggestedBufferSize, s.quality, s.sampleSize}) {
    b.U32(v);
  }
  b.U32(0);  // frame rectangle
  b.U32(0);
  b.CloseSize(strh);

  b.Chars("strf");
  const std::size_t strf = b.OpenSize();
  const AviVideoFormat& f = w.VideoFormat;
  b.U32(f.size);
  b.U32(static_cast<std::uint32_t>(f.width));
  b.U32(static_cast<std::uint32_t>(f.height));
  b.U16(f.planes);
  b.U16(f.bitCount);
  b.Raw(f.compression, 4);
  b.U32(f.sizeImage);
  b.U32(static_cast<std::uint32_t>(f.xPelsPerMeter));
  b.U32(static_cast<std::uint32_t>(f.yPelsPerMeter));
  b.U32(f.clrUsed);
  b.U32(f.clrImportant);
  b.CloseSize(strf);

  b.CloseSize(strl);
  b.CloseSize(hdrl);
}

void PrintSystemError(const char* what, int error) { std::fprintf(stderr, "%s: %s\n", what, std::strerror(error)); }

bool write_int(int fd, std::int64_t position, std::uint32_t v) {
  unsigned char b[4];
  Bytes::PutLE<std::uint32_t>(b, v);
  return OS::WriteAllAt(fd, b, sizeof b, static_cast<std::uint64_t>(position));
}

bool write_avi_header(int fd, const avi_writer& w) {
  unsigned char list[kHeaderListLength];
  BuildHeaderList(w, list);
  if (!OS::WriteAllAt(fd, list, sizeof list, kHeaderListOffset)) {
    PrintSystemError("write_avi_header: write_chars_bin() failed", errno);
    return false;
  }
  return true;
}

// Patches the movie list size, the header list and the RIFF size for a file
// of `fileLength` bytes whose frames end at the writer's end position.
bool PatchSizes(avi_writer& w, std::int64_t fileLength, const char* who) {
  w.MainHeader.totalFrames = w.StreamHeader.length;
  const auto moviSize = static_cast<std::uint32_t>(w.EndPosition - w.MoviSizePosition - 4);
  if (!write_int(w.File, w.MoviSizePosition, moviSize)) {
    std::fprintf(stderr, "%s: write_int() failed: %s\n", who, std::strerror(errno));
    return false;
  }
  if (!write_avi_header(w.File, w)) {
    std::fprintf(stderr, "%s: write_avi_header_chunk() failed\n", who);
    return false;
  }
  if (!write_int(w.File, 4, static_cast<std::uint32_t>(fileLength - 8))) {
    std::fprintf(stderr, "%s: write_int() failed: %s\n", who, std::strerror(errno));
    return false;
  }
  return true;
}

bool write_index(avi_writer& w) {
  std::vector<unsigned char> index;
  try {
    index.resize(8 + 16 * static_cast<std::size_t>(w.OffsetsCount));
  } catch (const std::bad_alloc&) {
    std::fputs("write_index: could not allocate memory for the index\n", stderr);
    return false;
  }
  unsigned char* p = index.data();
  std::memcpy(p, "idx1", 4);
  Bytes::PutLE<std::uint32_t>(p + 4, 16 * w.OffsetsCount);
  p += 8;
  std::uint32_t offset = 4;
  for (std::uint32_t i = 0; i < w.OffsetsCount; ++i, p += 16) {
    std::memcpy(p, "00dc", 4);
    Bytes::PutLE<std::uint32_t>(p + 4, kAviIfKeyFrame);
    Bytes::PutLE<std::uint32_t>(p + 8, offset);
    Bytes::PutLE<std::uint32_t>(p + 12, w.Offsets[i]);
    offset += w.Offsets[i] + 8;
  }
  if (!OS::WriteAllAt(w.File, index.data(), index.size(), static_cast<std::uint64_t>(w.EndPosition))) {
    PrintSystemError("write_index: write_chars_bin) failed", errno);
    return false;
  }
  return true;
}

}  // namespace

bool avi_fourcc_is_known(const char* fourcc) {
  if (!fourcc) return false;
  const std::string_view code(fourcc, strnlen(fourcc, 5));
  if (code.size() != 4 || code.find(' ') != std::string_view::npos) return false;
  for (std::size_t at = 0; at + 4 <= kKnownFourccs.size(); at += 5) {
    if (kKnownFourccs.substr(at, 4) == code) return true;
  }
  return false;
}

avi_writer* avi_open(const char* path, int width, int height, const char* fourcc, int frameRate) {
  if (frameRate <= 0) return nullptr;
  if (width <= 0 || height <= 0) {
    std::fprintf(stderr, "avi_open: invalid frame size %dx%d\n", width, height);
    return nullptr;
  }
  if (!avi_fourcc_is_known(fourcc)) {
    std::fprintf(stderr, "WARNING: given fourcc does not seem to be valid: %s\n", fourcc ? fourcc : "");
  }
  if (!path) {
    std::fputs("avi_open: failed to open file for writing: no file name\n", stderr);
    return nullptr;
  }

  auto* w = new (std::nothrow) avi_writer;
  if (!w) {
    std::fputs("avi_open: could not allocate memoryi for avi_writer structure\n", stderr);
    return nullptr;
  }
  try {
    w->Offsets.reserve(1024);
  } catch (const std::bad_alloc&) {
    std::fputs("avi_info: could not allocate memory for avi_writer offsets table\n", stderr);
    delete w;
    return nullptr;
  }

  const std::uint32_t frameBytes = Saturate32(std::uint64_t(width) * std::uint64_t(height) * 3);
  AviMainHeader& m = w->MainHeader;
  m.microSecPerFrame = 1000000u / static_cast<std::uint32_t>(frameRate);
  m.maxBytesPerSec = frameBytes;
  m.flags = kAvifHasIndex;
  m.streams = 1;
  m.suggestedBufferSize = frameBytes;
  m.width = static_cast<std::uint32_t>(width);
  m.height = static_cast<std::uint32_t>(height);
  AviStreamHeader& s = w->StreamHeader;
  s.rate = static_cast<std::uint32_t>(frameRate);
  s.suggestedBufferSize = frameBytes;
  AviVideoFormat& v = w->VideoFormat;
  v.width = width;
  v.height = height;
  v.sizeImage = frameBytes;

  w->File = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (w->File < 0) {
    PrintSystemError("avi_open: failed to open file for writing", errno);
    delete w;
    return nullptr;
  }
  // "RIFF", size 0 until close, "AVI ", the header list, then the movie
  // list with size 0 until close.
  unsigned char head[kHeaderListOffset];
  std::memcpy(head, "RIFF", 4);
  Bytes::PutLE<std::uint32_t>(head + 4, 0);
  std::memcpy(head + 8, "AVI ", 4);
  bool ok = OS::WriteAllAt(w->File, head, sizeof head, 0);
  if (!ok) PrintSystemError("avi_open: write_chars_bin() failed", errno);
  if (ok && !write_avi_header(w->File, *w)) {
    std::fputs("avi_info: write_avi_header_chunk failed\n", stderr);
    ok = false;
  }
  if (ok) {
    unsigned char movi[12];
    std::memcpy(movi, "LIST", 4);
    Bytes::PutLE<std::uint32_t>(movi + 4, 0);
    std::memcpy(movi + 8, "movi", 4);
    w->MoviSizePosition = kHeaderListOffset + kHeaderListLength + 4;
    ok = OS::WriteAllAt(w->File, movi, sizeof movi, kHeaderListOffset + kHeaderListLength);
    if (!ok) PrintSystemError("avi_info: write_int() failed", errno);
  }
  if (!ok) {
    ::close(w->File);
    delete w;
    return nullptr;
  }
  w->EndPosition = w->MoviSizePosition + 8;
  return w;
}

int avi_add_frame(avi_writer* writer, const unsigned char* data, std::size_t length) {
  if (!writer || !data) {
    std::fputs("avi_writer and/or buffer argument cannot be NULL", stderr);
    return -1;
  }
  if (length < 256) {
    std::fprintf(stderr, "WARNING: specified buffer len seems rather small: %d. Are you sure about this?\n",
                 static_cast<int>(std::min<std::size_t>(length, 0x7FFFFFFF)));
  }
  avi_writer& w = *writer;
  const std::uint64_t padded = (std::uint64_t(length) + 3) & ~std::uint64_t(3);
  // The file with this frame and the whole index must stay within the limit.
  const std::uint64_t frames = std::uint64_t(w.OffsetsCount) + 1;
  const std::uint64_t finalLength = std::uint64_t(w.EndPosition) + 8 + padded + 8 + 16 * frames;
  if (padded > 0xFFFFFFFFull || finalLength > std::min(w.SizeLimit, kAviMaxFileLength)) {
    return kAviSizeLimitReached;
  }
  if (w.Offsets.size() == w.Offsets.capacity()) {
    try {
      w.Offsets.reserve(w.Offsets.capacity() + 1024);
    } catch (const std::bad_alloc&) {
      std::fputs("avi_add_frame: could not grow the offsets table\n", stderr);
      return -1;
    }
  }

  const auto paddedSize = static_cast<std::uint32_t>(padded);
  unsigned char head[8];
  std::memcpy(head, "00dc", 4);
  Bytes::PutLE<std::uint32_t>(head + 4, paddedSize);
  unsigned char zeros[4] = {0, 0, 0, 0};
  iovec iov[3] = {{head, sizeof head},
                  {const_cast<unsigned char*>(data), length},
                  {zeros, static_cast<std::size_t>(padded - length)}};
  if (!WriteAllAt(w.File, w.EndPosition, iov, 3)) {
    PrintSystemError("avi_add_frame: fwrite() failed", errno);
    // Take the frame back so that the file ends after the previous one.
    if (ftruncate(w.File, static_cast<off_t>(w.EndPosition)) != 0) {
      PrintSystemError("avi_add_frame (ftruncate)", errno);
    }
    return -1;
  }

  w.StreamHeader.length++;
  w.Offsets.push_back(paddedSize);
  w.OffsetsCount++;
  w.EndPosition += 8 + static_cast<std::int64_t>(padded);
  return 0;
}

int avi_update_header(avi_writer* writer) {
  if (!writer) {
    std::fputs("avi_writer argument cannot be NULL", stderr);
    return -1;
  }
  return PatchSizes(*writer, writer->EndPosition, "avi_update_header") ? 0 : -1;
}

int avi_set_frame_rate(avi_writer* writer, std::uint32_t frameRate) {
  if (!writer) {
    std::fputs("avi_writer argument cannot be NULL", stderr);
    return -1;
  }
  if (frameRate == 0) return 0;
  writer->StreamHeader.rate = frameRate;
  writer->MainHeader.microSecPerFrame = 1000000u / frameRate;
  return 0;
}

int avi_close(avi_writer* writer) {
  if (!writer) {
    std::fputs("avi_writer argument cannot be NULL", stderr);
    return -1;
  }
  avi_writer& w = *writer;
  bool ok = write_index(w);
  if (!ok) std::fputs("avi_close: write_index() failed\n", stderr);
  const std::int64_t fileLength = w.EndPosition + 8 + 16 * static_cast<std::int64_t>(w.OffsetsCount);
  if (ok) ok = PatchSizes(w, fileLength, "avi_close");
  // A frame taken back may have left bytes beyond the index.
  if (ok && ftruncate(w.File, static_cast<off_t>(fileLength)) != 0) {
    PrintSystemError("avi_close (ftruncate)", errno);
    ok = false;
  }
  if (::close(w.File) != 0 && ok) {
    PrintSystemError("avi_close: close()", errno);
    ok = false;
  }
  delete writer;
  return ok ? 0 : -1;
}

}  // namespace ORV
