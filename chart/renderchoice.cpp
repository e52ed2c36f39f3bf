#include "chart/renderchoice.h"

#include "base/logging.h"

#include <QDir>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

namespace {

const char *const overrideVariable = "TAVRINO_OPENGL";

// Substrings of GL_RENDERER, lower case, for renderers that run on the CPU: Mesa's llvmpipe,
// softpipe and swrast ("Software Rasterizer"), Windows' own OpenGL 1.1 ("GDI Generic") and
// WARP behind ANGLE ("Microsoft Basic Render Driver"), SwiftShader, Apple's fallback.
const char *const softwareRenderers[] = {
    "llvmpipe",    "softpipe",     "swrast",      "software rasterizer",
    "gdi generic", "basic render", "swiftshader", "software renderer",
};

} // namespace

bool RenderChoice::isSoftwareRenderer(const QString &renderer)
{
    const QString name = renderer.toLower();
    for (const char *soft : softwareRenderers) {
        if (name.contains(QLatin1String(soft)))
            return true;
    }
    return false;
}

RenderChoice RenderChoice::decide(const QString &renderer, const QByteArray &overrideValue)
{
    RenderChoice choice;
    const QByteArray forced = overrideValue.trimmed();
    const QString named = renderer.isEmpty() ? QStringLiteral("no OpenGL context")
                                             : QStringLiteral("renderer \"%1\"").arg(renderer);
    if (forced == "0") {
        choice.reason = QStringLiteral("%1=0").arg(QLatin1String(overrideVariable));
        return choice;
    }
    if (forced == "1") {
        choice.openGL = !renderer.isEmpty();
        choice.reason =
            choice.openGL
                ? QStringLiteral("%1=1, %2").arg(QLatin1String(overrideVariable), named)
                : QStringLiteral("%1=1 ignored: %2").arg(QLatin1String(overrideVariable), named);
        return choice;
    }
    QString ignored;
    if (!forced.isEmpty())
        ignored = QStringLiteral(" (%1=\"%2\" ignored: 0 or 1)")
                      .arg(QLatin1String(overrideVariable), QString::fromLocal8Bit(overrideValue));
    if (renderer.isEmpty()) {
        choice.reason = named + ignored;
    } else if (isSoftwareRenderer(renderer)) {
        choice.reason = QStringLiteral("software %1").arg(named) + ignored;
    } else {
        choice.openGL = true;
        choice.reason = QStringLiteral("hardware %1").arg(named) + ignored;
    }
    return choice;
}

QString RenderChoice::probeRenderer()
{
    // These platforms have no OpenGL, and asking would only print warnings.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return {};
    QOpenGLContext context;
    if (!context.create())
        return {};
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return {};
    const auto *name =
        reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
    const QString renderer = name ? QString::fromLatin1(name) : QString();
    context.doneCurrent();
    // A context whose renderer has no name is not one to trust with drawing.
    return renderer;
}

bool RenderChoice::gpuDevicePresent(const QString &devRoot)
{
#ifdef Q_OS_LINUX
    const QDir dev(devRoot);
    // A render node is what a GPU driver offers for drawing; a bare card node may be no more
    // than a firmware frame buffer.
    const auto any = [](const QDir &dir, const char *pattern) {
        return !dir.entryList({QLatin1String(pattern)}, QDir::System | QDir::Files).isEmpty();
    };
    return any(QDir(dev.filePath(QStringLiteral("dri"))), "renderD*") || any(dev, "nvidia[0-9]*");
#else
    Q_UNUSED(devRoot)
    return true;
#endif
}

bool RenderChoice::preferRasterWindows()
{
    const QByteArray forced = qgetenv(overrideVariable).trimmed();
    if (forced == "1")
        return false;
    if (forced != "0" && gpuDevicePresent(QStringLiteral("/dev")))
        return false;
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    return true;
}

RenderChoice RenderChoice::forThisDisplay()
{
    const QByteArray forced = qgetenv(overrideVariable);
    // Raster-only windows take no OpenGL child, and probing would load the driver after all.
    const bool rasterWindows = QCoreApplication::testAttribute(Qt::AA_ForceRasterWidgets);
    const QString renderer = forced.trimmed() == "0" || rasterWindows ? QString() : probeRenderer();
    RenderChoice choice = decide(renderer, forced);
    if (rasterWindows && forced.trimmed() != "0")
        choice.reason += QStringLiteral(" (no GPU device: OpenGL not loaded)");
    qCInfo(lcChart).noquote() << "chart drawn with" << (choice.openGL ? "OpenGL" : "raster") << "-"
                              << choice.reason;
    return choice;
}
