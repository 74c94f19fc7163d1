// The screenshots' viewer: one file through QImageReader, titled with the format it chose.
#include <QApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    const QByteArray format = reader.format();
    const QImage image = reader.read();
    QLabel label;
    if (image.isNull())
        label.setText("Cannot read: " + reader.errorString());
    else
        label.setPixmap(QPixmap::fromImage(image.scaled(image.size() * 2)));
    label.setWindowTitle(
        QString("%1 (%2, %3 x %4)")
            .arg(QFileInfo(QString::fromLocal8Bit(argv[1])).fileName(), QString::fromLatin1(format))
            .arg(image.width())
            .arg(image.height()));
    label.show();
    return app.exec();
}
