#pragma once

// An installed client keeps its files in the user's own data folder instead of the folder a launcher
// happens to start it in.

// Makes the per-user data folder the working directory, creating it owner-only when missing.
// False when the folder cannot be made or entered.
bool enterUserDataFolder();

// Links the system's OpenVPN as "openvpn.exe" into the working directory when none is there,
// as scripts/run.sh does for the source tree.
void linkSystemOpenVpn();
