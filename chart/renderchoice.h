#pragma once

#include <QByteArray>
#include <QString>

// Whether the chart's series draw through OpenGL. Only a hardware renderer pays: a software
// one (Mesa's llvmpipe under Xvfb, in most virtual machines and over remote desktops) draws
// the same lines on the CPU in extra threads, at several times the cost of Qt's raster engine,
// and makes the whole window composite through it. TAVRINO_OPENGL=0 or 1 overrides the choice.
class RenderChoice
{
public:
    bool openGL = false;
    // Why, in one line for the diagnostics log.
    QString reason;

    // A GL_RENDERER string naming a renderer that runs on the CPU.
    static bool isSoftwareRenderer(const QString &renderer);

    // `renderer` is the GL_RENDERER of a context made on this display, empty when none could
    // be made; `overrideValue` is the value of TAVRINO_OPENGL ("0" or "1"; unset when null;
    // anything else is ignored and said so). Forcing OpenGL needs a context all the same: an
    // OpenGL series without one draws nothing.
    static RenderChoice decide(const QString &renderer, const QByteArray &overrideValue);

    // The GL_RENDERER of a context made on a hidden surface of this display, or empty.
    static QString probeRenderer();

    // Whether the machine has a device that a hardware renderer could use: on Linux a DRI
    // render node or an NVIDIA device under `devRoot`; elsewhere always.
    static bool gpuDevicePresent(const QString &devRoot);

    // Before the QApplication exists: where raster is certain (TAVRINO_OPENGL=0, or no GPU
    // device), makes every window pure raster (Qt::AA_ForceRasterWidgets) so that the platform
    // never loads an OpenGL driver; Mesa's software one adds some 50 MiB and idle threads to
    // the process even when nothing draws with it. Returns whether it did.
    static bool preferRasterWindows();

    // decide() for the running application and the environment; probes only when OpenGL is
    // possible at all, and logs the result.
    static RenderChoice forThisDisplay();
};
