// The configuration as a JSON document, for scripts, spreadsheets and version control:
//
//   {
//     "format": "tk530-config",
//     "version": 1,
//     "settings": { "dial.enabled[0]": "1", ..., "sim.pin": "7093", ... },
//     "text_tails": { "alarm[0].sms_text": "00ff..." }
//   }
//
// "settings" holds every field of the catalogue by its key, in catalogue order. "text_tails"
// appears only when a text field holds bytes other than zero after its text (a unit may
// leave them there); with it a file read back gives the same bytes. On import "format" and
// "version" may be left out, every key of "settings" is optional (a key left out keeps the
// base's value), and anything unknown is refused.
#pragma once

#include "config/CfgCatalogue.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr char CFG_JSON_FORMAT[] = "tk530-config";
inline constexpr int CFG_JSON_VERSION = 1;

// The whole image as a document (UTF-8, one setting a line, ending with a line break).
std::string CfgExportJson(const CfgImage& image);

// Reads a document over `image` (which comes in as the base and goes out as the result).
// Every value is checked as CfgSetFromJson does; every problem is listed with its key, and
// when there is any the image is left unchanged. CFG_OK, or the first problem's error.
int CfgImportJson(std::string_view json, CfgImage& image, bool force,
                  std::vector<CfgProblem>& problems);
