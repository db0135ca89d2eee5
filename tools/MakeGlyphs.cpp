// Renders the printable ASCII characters of DejaVu Sans Mono at 11 pixels
// into cells of 7 x 13 coverage bytes, printed as a C++ table.
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(11);
    font.setHintingPreference(QFont::PreferFullHinting);
    const QFontMetrics metrics(font);
    const int width = 7;
    const int height = 13;
    std::printf(
        "// Printable ASCII (32 to 126) of DejaVu Sans Mono at 11 pixels: %d x %d\n"
        "// coverage bytes a glyph, top row first; made by tools/MakeGlyphs.cpp.\n",
        width, height);
    std::printf("constexpr int kGlyphWidth = %d;\nconstexpr int kGlyphHeight = %d;\n", width,
                height);
    std::printf("// clang-format off\n");
    std::printf("constexpr unsigned char kGlyphs[95][%d] = {\n", width * height);
    for (int c = 32; c < 127; ++c) {
        QImage image(width, height, QImage::Format_Grayscale8);
        image.fill(0);
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(0, metrics.ascent(), QString(QChar(c)));
        painter.end();
        std::printf("    {");
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::printf("%d%s", image.constScanLine(y)[x],
                            x + 1 < width || y + 1 < height ? "," : "");
            }
        }
        std::printf("},  // '%s'\n", c == '\\'   ? "\\\\"
                                     : c == '\'' ? "\\'"
                                                 : QString(QChar(c)).toLatin1().constData());
    }
    std::printf("};\n// clang-format on\n");
    return 0;
}
