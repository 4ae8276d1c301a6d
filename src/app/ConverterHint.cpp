#include "app/ConverterHint.h"

#include "bformat/WavHeader.h"

namespace halvane {

QString ConvertedFileName(const QString& inputPath)
{
    static const QString wavEnding = QStringLiteral(".wav");
    QString base = inputPath;
    if (base.endsWith(wavEnding, Qt::CaseInsensitive)) {
        // A bare ".wav" is a hidden file's whole name, not an ending.
        const QStringView stem = QStringView(base).chopped(wavEnding.size());
        if (!stem.isEmpty() && !stem.endsWith(QLatin1Char('/'))) {
            base.chop(wavEnding.size());
        }
    }
    return base + QStringLiteral("-ambix.wav");
}

QString ShellQuoted(const QString& word)
{
    QString quoted;
    quoted.reserve(word.size() + 2);
    quoted += QLatin1Char('"');
    for (const QChar c : word) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"') || c == QLatin1Char('$') || c == QLatin1Char('`')) {
            quoted += QLatin1Char('\\');
        }
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

QString ConverterCommand(const QString& inputPath)
{
    return QStringLiteral("halvane-convert ") + ShellQuoted(inputPath) + QLatin1Char(' ') +
           ShellQuoted(ConvertedFileName(inputPath));
}

QString WithConverterHint(const QString& warning, const QString& inputPath)
{
    // A 24-bit or 64-bit float file is B-format all the same: the converter
    // rewrites it as 32-bit floats. The channel count is refused also for
    // four-channel files whose header the window cannot walk (RF64, a
    // truncated header), which the converter reads; a genuine stereo file it
    // refuses in turn, so that line says which files it helps.
    if (warning == QLatin1String(kNotSixteenOrThirtyTwoBitsMessage)) {
        return warning + QStringLiteral("\nTo convert it to 32-bit float: ") + ConverterCommand(inputPath);
    }
    if (warning == QLatin1String(kNotFourChannelsMessage)) {
        return warning + QStringLiteral("\nA four-channel B-format file in another layout converts with: ") +
               ConverterCommand(inputPath);
    }
    return warning;
}

}  // namespace halvane
