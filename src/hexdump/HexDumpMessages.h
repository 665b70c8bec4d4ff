#pragma once

// Fixed texts of the hex dump control.

/// Context menu entries.
inline constexpr char kMenuCopyHex[] = "&Copy";
inline constexpr char kMenuCopyText[] = "Copy as &Text";
inline constexpr char kMenuCopyCArray[] = "Copy as C &Array";
inline constexpr char kMenuSelectAll[] = "Select &All";
