#include "NamingRules.h"

namespace NamingRules {

namespace {

const int ShortestGoodPart = 4;

QString withoutLast(const QString &text, int count)
{
    return text.left(text.size() - count);
}

// Only A to Z fold: the rule compares letters of the Latin alphabet and nothing else.
QString asciiLower(QString text)
{
    for (QChar &c : text) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return text;
}

} // namespace

FolderAndName SplitFolderAndName(const QString &path)
{
    const qsizetype cut = path.lastIndexOf(u'/') + 1;
    return {path.left(cut), path.mid(cut)};
}

QString GoodPartPath(const QString &folder, const QString &name)
{
    if (name.size() < 3)
        return {};
    return folder + withoutLast(name, 3) + QStringLiteral("QQQ");
}

QString PendingCompanionPath(const QString &goodPart)
{
    return withoutLast(goodPart, 4) + QStringLiteral(".avi");
}

QString MergeCompanionPath(const QString &goodPart)
{
    return withoutLast(goodPart, 3) + QStringLiteral("avi");
}

QString FixedPath(const QString &goodPart)
{
    return withoutLast(goodPart, 4) + QStringLiteral("-.avi");
}

QString FixedPathWith(const QString &goodPart, const QString &companion)
{
    const QString name = SplitFolderAndName(companion).name;
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    return withoutLast(goodPart, 4) + u'-' + extension;
}

QString RepairedPath(const QString &file)
{
    const FolderAndName parts = SplitFolderAndName(file);
    // A leading dot starts a hidden name, not an extension.
    const qsizetype dot = parts.name.lastIndexOf(u'.');
    if (dot <= 0)
        return file + u'-';
    return parts.folder + parts.name.left(dot) + u'-' + parts.name.mid(dot);
}

bool HasGoodPartName(const QString &goodPart)
{
    return goodPart.size() >= ShortestGoodPart
           && asciiLower(goodPart).indexOf(QStringLiteral("qqq")) == goodPart.size() - 3;
}

} // namespace NamingRules
