#include "app/ConverterHint.h"

#include "bformat/ConverterAdvice.h"

namespace halvane {

QString ConvertedFileName(const QString& inputPath)
{
    return QString::fromStdString(ConvertedName(inputPath.toStdString()));
}

QString ShellQuoted(const QString& word) { return QString::fromStdString(ShellWord(word.toStdString())); }

QString ConverterCommand(const QString& inputPath)
{
    return QString::fromStdString(ConvertCommandLine(inputPath.toStdString()));
}

QString WithConverterHint(const QString& warning, const QString& inputPath)
{
    const std::string advice = ConverterAdvice(warning.toStdString(), inputPath.toStdString());
    return advice.empty() ? warning : warning + QLatin1Char('\n') + QString::fromStdString(advice);
}

}  // namespace halvane
