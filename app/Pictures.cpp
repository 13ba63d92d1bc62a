#include "app/Pictures.h"

#include <QString>

// The pictures live in this static library, and Q_INIT_RESOURCE works only
// outside a namespace.
static void InitPictures() { Q_INIT_RESOURCE(pictures); }

namespace app {

void RegisterPictures() {
    static const bool once = (InitPictures(), true);
    (void)once;
}

QIcon Picture(QStringView name) {
    RegisterPictures();
    QIcon icon;
    for (QStringView scale : {u"", u"@2x", u"@3x"}) icon.addFile(u":/pictures/" + name + scale + u".png");
    return icon;
}

} // namespace app
