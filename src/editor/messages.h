#pragma once
// The program's own message texts, each in one place: what the fields, the
// Pager commands, the board and the production runs say to the operator, in
// the window's message boxes and on the command line's stderr alike. The
// table files' texts live with the table files (table/table_file.h), below
// this folder.
#include <cstdint>
#include <string>
#include <string_view>

namespace px316t::messages {

// ---- the capcode fields -------------------------------------------------------
inline constexpr std::string_view NotNumeric = "Please insert a numeric!";
inline constexpr std::string_view InvalidCapcode = "Invalid Capcode!";
// "Please insert a number between 1 to 2031615" (or 4291000000).
std::string capcodeOutOfRange(std::uint64_t limit);

// ---- the frequency and password fields -----------------------------------------
inline constexpr std::string_view NotDecimal = "Please insert a decimal numeric!";
inline constexpr std::string_view ChannelSpacingError = "Channel Spacing Error!";
inline constexpr std::string_view PasswordOutOfRange = "Please insert a number between 0000 to 9999";

// ---- table files (the window's question; the files' own texts live with them) ----
inline constexpr std::string_view OverwriteFile = "This file is arealy exist ! \r\nAre you sure overwrite this file?";

// ---- the Pager commands ---------------------------------------------------------
inline constexpr std::string_view ModifyModeCannotWrite = "Modify Mode can not write! Please check!";
inline constexpr std::string_view ReadSuccess = "Read success!";
inline constexpr std::string_view ReadError = "Read error!";
inline constexpr std::string_view WriteError = "Write error!";
inline constexpr std::string_view VerifyError = "Verify Error!";
inline constexpr std::string_view VerifySuccess = "Verify Success!";

// ---- the board ---------------------------------------------------------------------
inline constexpr std::string_view BoardConnect = "  The Programmed Board Connect !";
inline constexpr std::string_view BoardDisconnect = "  The Programmed Board Disconnect !";
inline constexpr std::string_view BoardNotResponding = "The Programmed Board is not responding!";
inline constexpr std::string_view LptBoardNotResponding = "The Board is not responding!";
inline constexpr std::string_view ProgrammerInitialError = "Programmer Initial Error !";
inline constexpr std::string_view ParallelPortNotAvailable =
    "The parallel-port board is not available in this program.";

// ---- an image from elsewhere --------------------------------------------------------
// "The frame mask 0004 in the image does not match the frames of its capcodes (0804).":
// the mask an image holds is not the one its enabled capcodes give (four hex digits each).
std::string frameMaskMismatch(std::uint16_t stored, std::uint16_t capcodes);

// ---- production --------------------------------------------------------------------
// "Capcode 1 (X) is not a capcode that can be raised; nothing was written.":
// row 1 shows `shown`, which is no whole number a run can start from.
std::string capcodeNotRaisable(const std::string& shown);
// "Capcode 1 > 2031615 so can not be increase!": the first capcode is at `limit`.
std::string capcodeLimit(std::uint64_t limit);
// "The batch B has no capcode left." and, before anything was written,
// "The batch B has no capcode left; nothing was written."
std::string batchExhausted(const std::string& batch);
std::string batchExhaustedNothingWritten(const std::string& batch);

} // namespace px316t::messages
