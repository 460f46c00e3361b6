#include "tools/file_fuzzer/targets.h"

namespace file_fuzzer {

bool readPdf(const std::string& bytes);
bool readMedia(const std::string& bytes);
bool readPropertyList(const std::string& bytes);

const std::vector<Target>& targets() {
  static const auto* const all = new std::vector<Target>{
      {"pdf",
       {" obj ",        "endobj",     "stream\n",   "\nendstream",
        "<<",           ">>",         "[",          "]",
        " R ",          "/Type",      "/Page",      "/Pages",
        "/Kids",        "/Count",     "/MediaBox",  "/CropBox",
        "/Rotate",      "/Contents",  "/Length",    "/Filter",
        "/FlateDecode", "/Resources", "/ExtGState", "/Encrypt",
        "xref",         "trailer",    "startxref",  "%%EOF",
        " q ",          " Q ",        " cm ",       " re ",
        " f ",          " S ",        " W n ",      " m ",
        " l ",          " c ",        " h ",        " gs ",
        " Do ",         "BT ",        " ET ",       " Tj ",
        " Tf ",         " rg ",       " 0 ",        " 1e9 ",
        " -1 ",         "(",          ")",          "<00ff>",
        "/Shading",     "/Pattern",   "sh "},
       readPdf},
      {"media",
       {"ftyp", "moov", "mvhd", "trak", "tkhd", "mdia", "mdhd", "minf", "stbl", "stsd",
        "stts", "stsc", "stsz", "stco", "co64", "ctts", "stss", "mdat", "avc1", "avcC",
        "mp4a", "esds", "elst", "edts", "hdlr", "vide", "soun", "free", "udta", "meta"},
       readMedia},
      {"plist",
       {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
        "<plist version=\"1.0\">",
        "</plist>",
        "<dict>",
        "</dict>",
        "<array>",
        "</array>",
        "<key>",
        "</key>",
        "<string>",
        "</string>",
        "<integer>",
        "</integer>",
        "<real>",
        "</real>",
        "<date>",
        "</date>",
        "<data>",
        "</data>",
        "<true/>",
        "<false/>",
        "<dict/>",
        "<array/>",
        "&amp;",
        "&#0;",
        "&#x1F600;",
        "bplist00",
        "\x10",
        "\x5f",
        "\xa1",
        "\xd1",
        "\x33",
        "\x4f\x10"},
       readPropertyList},
  };
  return *all;
}

}  // namespace file_fuzzer
