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
  // Standard output is reserved for one JSON document (-json): every text
  // line, errors and debug lines included, goes to standard error instead,
  // so that a script reading standard output never sees anything else.
  bool jsonDocument = false;
};

OutputSettings& Output();

enum class OutputStream { kStandardOutput, kStandardError };

// Writes the text (UTF-8, "\n" line ends; plus "\n" when addLineEnd) to
// the stream. Linux writes it as it is; Windows writes wide text to a
// console, UTF-16LE with "\r\n" to a file and the OEM code page with "\r\n"
// to a pipe. Standard output that is not a terminal (a console) is gathered
// and written in large pieces; it is flushed before every text to standard
// error, so that the two streams keep their order where they meet, and
// before the process ends (exit, and the signals that end it). A failed
// write is reported once on standard error; returns false when the write
// failed.
bool WriteText(std::string_view text, OutputStream stream, bool addLineEnd);

// Writes what standard output holds: before the run hands the terminal to
// someone else (a password prompt) or reads its own output back (tests).
void FlushStandardOutput();

// PrintText, PrintLine and PrintDebugLine write to standard output, or to
// standard error while standard output carries a JSON document.
void PrintText(std::string_view text);
void PrintLine(std::string_view text);
// "DEBUG: " + text + "\n"; the caller checks the debug level.
void PrintDebugLine(std::string_view text);
void PrintErrorText(std::string_view text, bool addLineEnd);
// The JSON document, the only text written to standard output in that mode.
void PrintDocument(std::string_view text);

// prefix + "(" + code + ") " + the system's text for the code (ending in a
// line end). An empty prefix gives "ERROR:".
std::string FormatSystemError(std::string_view prefix, int code);
void PrintSystemError(std::string_view prefix, int code);

std::string FormatBool(bool value);
// Bytes in pairs as "%.2X%.2X ", a last single byte as "%.2X ".
std::string FormatHexBytes(const void* bytes, std::size_t count);
std::string ZeroPad(std::string_view text, std::size_t width);

}  // namespace talvex
