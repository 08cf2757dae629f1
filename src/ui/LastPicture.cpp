#include "ui/LastPicture.h"

#include <QFile>

#include <functional>

#include "base/Files.h"
#include "base/Strings.h"
#include "options/Options.h"

namespace {

std::string PicturePath() {
    return ProgramFolder + "lastpage.pic";
}

}  // namespace

PictureKey PictureKey::Now(const std::string& book) {
    PictureKey k;
    k.Book = book;
    if (!book.empty()) {
        const FileStamp stamp = StampOf(BooksFolder() + book);
        k.BookSize = stamp.size;
        k.BookTime = stamp.modified;
    }
    // The options and the page's templates as they are (a template edited by
    // hand changes its stamp).
    std::string style = JoinLines(OptionList);
    for (const char* t : {"vpage.tml", "style.tml"}) {
        const FileStamp stamp = StampOf(TemplatesFolder() + t);
        style += "|" + std::to_string(stamp.size) + "|" + std::to_string(stamp.modified);
    }
    k.Style = std::hash<std::string>{}(style);
    return k;
}

void KeepLastPicture(const QImage& image, const PictureKey& key) {
    QFile f(QString::fromStdString(PicturePath()));
    if (image.isNull() || key.Book.empty() || key.BookSize <= 0) {
        f.remove();
        return;
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    // One line of the key, then the picture's rows as they are in memory.
    const std::string head =
        key.Book + "\t" + std::to_string(key.BookSize) + "\t" + std::to_string(key.BookTime) +
        "\t" + std::to_string(key.Style) + "\t" + std::to_string(key.Paragraph) + "\t" +
        std::to_string(key.Character) + "\t" + std::to_string(key.Scroll) + "\t" +
        std::to_string(key.FirstPage) + "\t" + std::to_string(key.LastPage) + "\t" +
        std::to_string(rgb.width()) + "\t" + std::to_string(rgb.height()) + "\t" +
        std::to_string(rgb.devicePixelRatio()) + "\n";
    // Written at exit, while the user waits: the rows of 32-bit pixels have no
    // padding, and go in one write, not a few at a time.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) return;
    const bool ok = f.write(head.data(), qint64(head.size())) == qint64(head.size()) &&
                    rgb.bytesPerLine() == qsizetype(rgb.width()) * 4 &&
                    f.write(reinterpret_cast<const char*>(rgb.constBits()), rgb.sizeInBytes()) ==
                        rgb.sizeInBytes();
    f.close();
    if (!ok) f.remove();
}

QImage LastPicture(const PictureKey& now, PictureKey& key) {
    QFile f(QString::fromStdString(PicturePath()));
    if (now.Book.empty() || !f.open(QIODevice::ReadOnly)) return {};
    const QByteArray head = f.readLine(4096);
    const QList<QByteArray> v = head.trimmed().split('\t');
    if (v.size() != 12) return {};
    key.Book = v[0].toStdString();
    key.BookSize = v[1].toLongLong();
    key.BookTime = v[2].toLongLong();
    key.Style = v[3].toULongLong();
    key.Paragraph = v[4].toInt();
    key.Character = v[5].toInt();
    key.Scroll = v[6].toInt();
    key.FirstPage = v[7].toInt();
    key.LastPage = v[8].toInt();
    const int w = v[9].toInt(), h = v[10].toInt();
    const double ratio = v[11].toDouble();
    if (!key.SameBookAndStyle(now) || w <= 0 || h <= 0 || w > 16384 || h > 16384 || ratio <= 0 ||
        f.size() - f.pos() != qint64(w) * h * 4)
        return {};
    QImage image(w, h, QImage::Format_RGB32);
    // Rows of 32-bit pixels have no padding: the picture is read in one go.
    if (image.bytesPerLine() != qsizetype(w) * 4 ||
        f.read(reinterpret_cast<char*>(image.bits()), image.sizeInBytes()) != image.sizeInBytes())
        return {};
    image.setDevicePixelRatio(ratio);
    return image;
}
