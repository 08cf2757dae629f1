#include "WebEngineView.h"

#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

namespace {

// Pages are local files: nothing is ever fetched from the network.
class TOfflineInterceptor : public QWebEngineUrlRequestInterceptor {
  public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString scheme = info.requestUrl().scheme();
        if (scheme != "file" && scheme != "data" && scheme != "qrc") info.block(true);
    }
};

QWebEngineProfile* OfflineProfile() {
    static QWebEngineProfile* profile = [] {
        auto* p = new QWebEngineProfile();  // off the record: no disk cache, no cookies kept
        p->setHttpCacheType(QWebEngineProfile::NoCache);
        p->setUrlRequestInterceptor(new TOfflineInterceptor(p));
        return p;
    }();
    return profile;
}

}  // namespace

class TWebEnginePage : public QWebEnginePage {
  public:
    TWebEnginePage(TWebEngineView* view) : QWebEnginePage(OfflineProfile(), view), view_(view) {}

  protected:
    void javaScriptAlert(const QUrl&, const QString& msg) override {
        // The page's BACK and CONTINUE buttons speak through alerts; no box is shown.
        if (view_->OnShowMessage) view_->OnShowMessage(msg.toStdU16String());
    }
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        return url.isLocalFile() || url.scheme() == "data" || url.scheme() == "about";
    }

  private:
    TWebEngineView* view_;
};

TWebEngineView::TWebEngineView(QWidget* parent) : QWebEngineView(parent) {
    page_ = new TWebEnginePage(this);
    setPage(page_);
    setContextMenuPolicy(Qt::NoContextMenu);
    auto* s = page_->settings();
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::ScrollAnimatorEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadImages, true);
    s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    // Only the end of the latest navigation counts: a load that a newer render
    // replaced ends too, and must not pass for the new page.
    connect(page_, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) return;
                if (info.url() != lastUrl_) return;
                PageLoaded(info.status() == QWebEngineLoadingInfo::LoadSucceededStatus);
            });
}

TWebEngineView::~TWebEngineView() {
    OnDocumentComplete = nullptr;
    OnShowMessage = nullptr;
}

void TWebEngineView::Navigate(const std::string& localPath) {
    // Each render is a fresh navigation, shown from its top: the query makes the
    // address new even though the file is always the same.
    static quint64 counter = 0;
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(localPath));
    url.setQuery(QString("r=%1").arg(++counter));
    loading_ = true;
    lastUrl_ = url;
    if (syncLoop_) syncLoop_->quit();  // a question to the old page gets no answer now
    page_->load(url);
}

void TWebEngineView::PageLoaded(bool) {
    loading_ = false;
    ++document_;
    // A page that completes while a question to the previous one is waiting is
    // reported once that question has its answer.
    if (inSyncCall_) {
        completePending_ = true;
        return;
    }
    if (OnDocumentComplete) OnDocumentComplete();
}

bool TWebEngineView::RunScriptSync(const QString& script, QVariant& result, int timeoutMs) {
    // A page that is loading answers nothing (its scripts are dropped when the
    // new document commits), so no question is asked until it has loaded.
    if (inSyncCall_ || loading_) return false;
    inSyncCall_ = true;
    bool answered = false;
    QEventLoop loop;
    syncLoop_ = &loop;
    auto alive = std::make_shared<bool>(true);
    page_->runJavaScript(script, [&, alive](const QVariant& v) {
        if (!*alive) return;
        result = v;
        answered = true;
        loop.quit();
    });
    if (!answered) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    *alive = false;
    syncLoop_ = nullptr;
    inSyncCall_ = false;
    if (completePending_) {
        completePending_ = false;
        QTimer::singleShot(0, this, [this] {
            if (OnDocumentComplete) OnDocumentComplete();
        });
    }
    return answered;
}

bool TWebEngineView::ElementIdAtPoint(int x, int y, std::string& id) {
    QVariant v;
    QString js = QString(
                     "(function(){var e=document.elementFromPoint(%1,%2);"
                     "return e ? e.id : null;})()")
                     .arg(x)
                     .arg(y);
    if (!RunScriptSync(js, v, 500) || !v.isValid() || v.isNull()) return false;
    id = v.toString().toStdString();
    return true;
}

bool TWebEngineView::ScrollParagraphIntoView(const std::string& id) {
    QVariant v;
    QString js = QString(
                     "(function(n){var c=document.getElementsByTagName('p');"
                     "for(var i=0;i<c.length;i++){if(c[i].id===n){c[i].scrollIntoView(true);"
                     "return true;}}return false;})(%1)")
                     .arg(QString("'%1'").arg(
                         QString::fromStdString(id).replace("\\", "\\\\").replace("'", "\\'")));
    return RunScriptSync(js, v) && v.toBool();
}

void TWebEngineView::ScrollBy(int dx, int dy) {
    page_->runJavaScript(QString("window.scrollBy(%1,%2)").arg(dx).arg(dy));
}

double TWebEngineView::ScrollOffset() {
    QVariant v;
    if (!RunScriptSync("window.pageYOffset", v)) return -1;
    return v.toDouble();
}
