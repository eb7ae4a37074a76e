// SPDX-License-Identifier: MIT
// Where a minimised window draws its icon: centred in the client area.
#pragma once

namespace tarnel::app {

/// The icon's left (or top) edge for a client area `client` pixels wide (or high)
/// and an icon `icon` pixels wide (or high). Integer division truncates toward
/// zero, so an area one pixel narrower than the icon still gives 0, not -1.
constexpr int IconOrigin(int client, int icon) noexcept {
    return (client - icon + 1) / 2;
}

}  // namespace tarnel::app
