// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "ui/FontConfigWarmUp.h"

#ifdef VELLWAKE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

FontConfigWarmUp::FontConfigWarmUp()
{
#ifdef VELLWAKE_FONTCONFIG
    // The toolkit's own FcInit() later finds the configuration loaded.
    m_thread = std::thread([] { FcInit(); });
#endif
}
