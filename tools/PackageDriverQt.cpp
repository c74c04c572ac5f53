// Drives the installed configurator for tools/test-package.sh. Qt loads it as
// a generic plugin (QT_QPA_GENERIC_PLUGINS=vornikdriver:LANGUAGE); once the
// main window is up it chooses LANGUAGE with the "Язык" selector and closes
// the window, as an operator would.
#include <QApplication>
#include <QComboBox>
#include <QGenericPlugin>
#include <QTimer>
#include <QWidget>

namespace {

class TPackageDriver : public QObject {
public:
    explicit TPackageDriver(const QString& language) {
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [timer, language] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* selector = window->findChild<QComboBox*>("cbLanguage");
                if (!window->isVisible() || !selector || selector->findText(language) < 0) continue;
                timer->stop();
                selector->setCurrentIndex(selector->findText(language));
                window->close();
                return;
            }
        });
        timer->start(100);
    }
};

}  // namespace

class TPackageDriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "PackageDriverQt.json")
public:
    QObject* create(const QString& key, const QString& arguments) override {
        return key.compare("vornikdriver", Qt::CaseInsensitive) == 0 ? new TPackageDriver(arguments) : nullptr;
    }
};

#include "PackageDriverQt.moc"
