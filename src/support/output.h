// Console output layer: every text the tool shows goes through here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvex {

// Process-wide output settings, written once by the standard switch
// processing and only read afterwards.
struct OutputSettings {
  bool quiet = false;
  int verboseLevel = 0;
  int debugLevel = 0;
};

OutputSettings& Output();

enum class OutputStream { kStandardOutput, kStandardError };

// Writes the text (UTF-8, "\n" line ends; plus "\n" when addLineEnd) to
// the stream in one platform write per call, so that standard output and
// standard error interleave in order. Linux writes it as it is; Windows
// writes wide text to a console, UTF-16LE with "\r\n" to a file and the OEM
// code page with "\r\n" to a pipe. A failed write is reported once on
// standard error; returns false when the write failed.
bool WriteText(std::string_view text, OutputStream stream, bool addLineEnd);

void PrintText(std::string_view text);
void PrintLine(std::string_view text);
// "DEBUG: " + text + "\n"; the caller checks the debug level.
void PrintDebugLine(std::string_view text);
void PrintErrorText(std::string_view text, bool addLineEnd);

// prefix + "(" + code + ") " + the system's text for the code (ending in a
// line end). An empty prefix gives "ERROR:".
std::string FormatSystemError(std::string_view prefix, int code);
void PrintSystemError(std::string_view prefix, int code);

std::string FormatBool(bool value);
// Bytes in pairs as "%.2X%.2X ", a last single byte as "%.2X ".
std::string FormatHexBytes(const void* bytes, std::size_t count);
std::string ZeroPad(std::string_view text, std::size_t width);

}  // namespace talvex
