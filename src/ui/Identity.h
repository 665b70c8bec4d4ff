#pragma once

// Who the program is: every name, notice and address it shows, in one place.

/// Display name: the application title, the main window's caption and the
/// caption of error boxes.
inline constexpr char kProductName[] = "BIFF Lens";
/// Version line of the About box.
inline constexpr char kVersionText[] = "v1.2 (build 14)";
inline constexpr char kMakerNotice[] = "Copyright (c) 2026 Tarvex Software. All rights reserved.";
inline constexpr char kHomePageUrl[] = "https://tarvex.example/bifflens";
inline constexpr char kFeedbackMail[] = "feedback@tarvex.example";

/// Name of the installed desktop entry and icon (bifflens.desktop, the
/// hicolor theme's bifflens icons).
inline constexpr char kIconName[] = "bifflens";

/// Pictures, shipped as Qt resources.
inline constexpr char kLogoResource[] = ":/bifflens/logo.png";
inline constexpr char kOpenIconResource[] = ":/bifflens/open.png";
inline constexpr char kAboutIconResource[] = ":/bifflens/about.png";
inline constexpr char kCloseIconResource[] = ":/bifflens/close.png";
inline constexpr int kLogoWidth = 95;
inline constexpr int kLogoHeight = 206;

/// Where the viewer's settings live: ~/.config/<organization>/<application>.ini.
inline constexpr char kSettingsOrganization[] = "Tarvex";
inline constexpr char kSettingsApplication[] = "bifflens";
