// SPDX-FileCopyrightText: 2026 The Vellwake developers
