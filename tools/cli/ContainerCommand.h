#pragma once

#include <ostream>
#include <span>
#include <string>

/// `container FILE`: a compound file as it is, as JSON lines: a header line,
/// one line per directory entry (name, type, size, start sector, in the mini
/// stream or not, CLSID, colour, left, right, child), one per run of
/// sectors of one use (FAT, DIFAT, directory, mini FAT, mini stream, a
/// stream by name, free, unreachable; a stream's slack after its last byte),
/// and one per problem found. Damage is reported, not refused.
int RunContainerCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
