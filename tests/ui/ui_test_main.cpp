// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QApplication>
#include <QByteArray>
#include <gtest/gtest.h>

// The windows are laid out on an offscreen screen of the DPI named by KELVO_TEST_DPI (96 when
// unset), with high-DPI scaling off: fonts and twips grow with the DPI, as on a desktop set
// to a larger font DPI, while the pixels of the screen stay pixels.
int main(int argc, char** argv) {
    const QByteArray dpi = qEnvironmentVariableIsEmpty("KELVO_TEST_DPI")
                               ? QByteArray("96")
                               : qgetenv("KELVO_TEST_DPI");
    qputenv("QT_QPA_PLATFORM",
            "offscreen:configfile=" KELVO_UI_SCREEN_DIR "/screen-" + dpi + "dpi.json");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
