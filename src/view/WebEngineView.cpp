#include "view/WebEngineView.h"

#include <algorithm>

#include <QBuffer>
#include <QMutex>
#include <QTimer>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

#include "base/Errors.h"
#include "base/Files.h"

namespace {

QMutex guard;
QString pageFolder;  // the folder of the page being shown, with its trailing '/'
QStringList refused;

// The pages are served under a scheme of their own, not as local files: a page
// so served cannot reach file:// addresses at all, and its own style sheet and
// pictures come from its folder through the handler below, which serves those
// files and nothing else.
const char* const PageScheme = "tavisto";
const char* const PageHost = "page";

// A file's name in a page address "/N/name": each render is served under a
// folder of a new number, so that the style sheet and pictures its page names
// are fetched anew with it, never taken from what the view kept of an earlier
// render. Empty when the path is not of that form.
QString FileOfPath(const QString& path) {
    const int slash = path.indexOf('/', 1);
    if (!path.startsWith('/') || slash < 2) return {};
    for (int i = 1; i < slash; ++i)
        if (!path[i].isDigit()) return {};
    const QString name = path.mid(slash + 1);
    if (name.isEmpty() || name.contains('/') || name.startsWith('.')) return {};
    return name;
}

// A book is untrusted: its page may load its own style sheet and the pictures of
// its folder, and nothing else, from anywhere.
class PageInterceptor : public QWebEngineUrlRequestInterceptor {
  public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QUrl url = info.requestUrl();
        bool allowed = false;
        if (url.scheme() == PageScheme && url.host() == PageHost) {
            const QString name = FileOfPath(url.path());
            if (!name.isEmpty()) switch (info.resourceType()) {
                    case QWebEngineUrlRequestInfo::ResourceTypeMainFrame:
                        allowed = name.endsWith(".html");
                        break;
                    case QWebEngineUrlRequestInfo::ResourceTypeStylesheet:
                        allowed = name.endsWith(".css");
                        break;
                    case QWebEngineUrlRequestInfo::ResourceTypeImage:
                    case QWebEngineUrlRequestInfo::ResourceTypeFavicon:
                        allowed = true;
                        break;
                    default:
                        break;
                }
        } else if (url.scheme() == "about" || url.scheme() == "data") {
            allowed = info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeXhr;
        }
        if (!allowed) {
            info.block(true);
            QMutexLocker lock(&guard);
            refused.append(url.toString());
        }
    }
};

class PageSchemeHandler : public QWebEngineUrlSchemeHandler {
  public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override {
        const QUrl url = job->requestUrl();
        const QString name = FileOfPath(url.path());
        QString folder;
        {
            QMutexLocker lock(&guard);
            folder = pageFolder;
        }
        if (url.host() != PageHost || folder.isEmpty() || name.isEmpty()) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        std::string data;
        try {
            data = ReadWholeFile((folder + name).toStdString());
        } catch (const EAppError&) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        const QString ext = name.section('.', -1).toLower();
        QByteArray type = "application/octet-stream";
        if (ext == "html" || ext == "htm") type = "text/html";
        if (ext == "css") type = "text/css";
        if (ext == "png") type = "image/png";
        if (ext == "jpg" || ext == "jpeg") type = "image/jpeg";
        if (ext == "gif") type = "image/gif";
        if (ext == "svg") type = "image/svg+xml";
        auto* buffer = new QBuffer(job);
        buffer->setData(QByteArray::fromStdString(data));
        job->reply(type, buffer);
    }
};

QWebEngineProfile* PageProfile() {
    static QWebEngineProfile* profile = [] {
        auto* p = new QWebEngineProfile();  // off the record: no disk cache, no cookies kept
        p->setHttpCacheType(QWebEngineProfile::NoCache);
        p->setUrlRequestInterceptor(new PageInterceptor(p));
        p->installUrlSchemeHandler(PageScheme, new PageSchemeHandler(p));
        return p;
    }();
    return profile;
}

QString JsString(const QString& s) {
    QString out = s;
    out.replace("\\", "\\\\").replace("'", "\\'").replace("\n", "\\n").replace("\r", "\\r");
    out.replace(QChar(0x2028), "\\u2028").replace(QChar(0x2029), "\\u2029");
    return "'" + out + "'";
}

// Helpers of the program's own on every page (in the scripts' world of the
// program, out of the page's reach): the place at the top edge as a paragraph
// and a character of it, and a scroll that puts such a place at the top.
// Characters are counted in the paragraph's text nodes, soft hyphens aside, so
// that the count holds with hyphenation on or off and at any font or width.
// The place is kept (looked at again a tenth of a second after the page
// scrolled), and restored when the view's size changes.
const char* const PlaceScript = R"(
(function(){
if (window.tavistoTop) return;
// A click in the page's left or right fifth, on no link, button or selection,
// turns a screen back or on, when the page says so (data-zones="1").
document.addEventListener('click',function(e){
  if(!document.body||document.body.dataset.zones!=='1'||e.button!==0)return;
  if(e.target.closest&&e.target.closest('a,input,button'))return;
  var s=window.getSelection();if(s&&!s.isCollapsed)return;
  var w=window.innerWidth;
  if(e.clientX<w/5)alert('ScreenUp');else if(e.clientX>w*4/5)alert('ScreenDown');});
function paragraphs(){return document.getElementsByTagName('p');}
function topParagraph(){var ps=paragraphs(),lo=0,hi=ps.length;
  while(lo<hi){var m=(lo+hi)>>1;if(ps[m].getBoundingClientRect().bottom>1)hi=m;else lo=m+1;}
  return lo<ps.length?ps[lo]:null;}
function characterAt(p,node,offset){
  var w=document.createTreeWalker(p,NodeFilter.SHOW_TEXT),n=0;
  for(var t=w.nextNode();t;t=w.nextNode()){var d=t.data,end=t===node?offset:d.length;
    for(var i=0;i<end;i++)if(d.charCodeAt(i)!==173)n++;
    if(t===node)return n;}
  return 0;}
var kept=null,going=0;
window.tavistoTop=function(){var p=topParagraph();if(!p)return ['',0,0];
  var r=p.getBoundingClientRect(),ch=0;
  if(r.top<0){var c=document.caretRangeFromPoint(Math.max(r.left,0)+1,1);
    if(c&&c.startContainer.nodeType===3&&p.contains(c.startContainer))
      ch=characterAt(p,c.startContainer,c.startOffset);}
  return [p.id,ch,Math.round(window.scrollY)];};
window.tavistoGo=function(id,ch){var ps=paragraphs(),p=null;
  for(var i=0;i<ps.length;i++)if(ps[i].id===id){p=ps[i];break;}
  if(!p)return false;
  kept=[id,ch];going=window.scrollY;
  if(ch>0){var w=document.createTreeWalker(p,NodeFilter.SHOW_TEXT),n=0;
    for(var t=w.nextNode();t;t=w.nextNode()){var d=t.data;
      for(var k=0;k<d.length;k++){if(d.charCodeAt(k)===173)continue;
        if(n>=ch){var r=document.createRange();r.setStart(t,k);r.setEnd(t,k+1);
          var rs=r.getClientRects();
          if(rs.length&&rs[0].height>0){window.scrollBy(0,rs[0].top);going=window.scrollY;return true;}}
        n++;}}}
  p.scrollIntoView(true);going=window.scrollY;return true;};
// Pages joined above or below the page loaded: the paragraph at the top edge
// stays where it is, and only the document's first BACK and last CONTINUE
// show (with the column's padding there only).
function anchor(){var p=topParagraph();return p?[p,p.getBoundingClientRect().top]:null;}
function settle(a){if(!a||!a[0].isConnected)return;
  var d=a[0].getBoundingClientRect().top-a[1];if(d)window.scrollBy(0,d);going=window.scrollY;}
function tidy(){var ds=document.querySelectorAll('div.page');
  for(var i=0;i<ds.length;i++){var d=ds[i],kids=d.children,f=-1,l=-1,k;
    for(k=0;k<kids.length;k++)if(kids[k].tagName==='P'){if(f<0)f=k;l=k;}
    for(k=0;k<kids.length;k++){var e=kids[k];if(e.tagName==='P')continue;
      e.style.display=(k<f||f<0?i===0:k>l?i===ds.length-1:true)?'':'none';}
    d.style.paddingTop=i===0?'':'0';d.style.paddingBottom=i===ds.length-1?'':'0';}}
window.tavistoJoin=function(after,page,shown,html){
  var ds=document.querySelectorAll('div.page');if(!ds.length)return false;
  if(ds.length===1&&!ds[0].dataset.page)ds[0].dataset.page=shown;
  document.documentElement.style.overflowAnchor='none';
  var a=anchor(),d=document.createElement('div'),edge=after?ds[ds.length-1]:ds[0];
  // A page shown from its top keeps its first line at the top edge.
  var top=!after&&window.scrollY<=0&&edge.querySelector('p');
  d.className='page';d.dataset.page=page;d.innerHTML=html;
  edge.parentNode.insertBefore(d,after?edge.nextSibling:edge);
  tidy();
  if(top){window.scrollBy(0,top.getBoundingClientRect().top);going=window.scrollY;}
  else settle(a);
  return true;};
window.tavistoDrop=function(page){
  var d=document.querySelector('div.page[data-page="'+page+'"]');if(!d)return false;
  var a=anchor();d.remove();tidy();settle(a);return true;};
var looking=0;
window.addEventListener('scroll',function(){
  if(window.scrollY===going||looking)return;
  looking=setTimeout(function(){looking=0;kept=window.tavistoTop();going=window.scrollY;},100);
},{passive:true});
window.addEventListener('resize',function(){
  var k=kept||window.tavistoTop();if(k[0])window.tavistoGo(k[0],k[1]);});
})();
)";

}  // namespace

class WebEnginePage : public QWebEnginePage {
  public:
    WebEnginePage(WebEngineView* view) : QWebEnginePage(PageProfile(), view), view_(view) {}

  protected:
    void javaScriptAlert(const QUrl&, const QString& msg) override {
        // The page's BACK and CONTINUE buttons speak through alerts; no box is shown.
        view_->ShowMessage(msg.toStdU16String());
    }
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
        return false;
    }
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        // The view shows the program's pages; a link in a book leads nowhere.
        return isMainFrame && (url.scheme() == PageScheme || url.scheme() == "about" ||
                               (url.scheme() == "data" && url == view_->EmptyPageUrl()));
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

  private:
    WebEngineView* view_;
};

WebEngineView::WebEngineView(QWidget* parent) : QWebEngineView(parent) {
    page_ = new WebEnginePage(this);
    setPage(page_);
    setContextMenuPolicy(Qt::NoContextMenu);
    QWebEngineScript place;
    place.setName("tavisto-place");
    place.setSourceCode(PlaceScript);
    place.setInjectionPoint(QWebEngineScript::DocumentReady);
    place.setWorldId(QWebEngineScript::ApplicationWorld);
    place.setRunsOnSubFrames(false);
    page_->scripts().insert(place);
    auto* s = page_->settings();
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::ScrollAnimatorEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadImages, true);
    // Only the end of the latest navigation counts: a load that a newer render
    // replaced ends too, and must not pass for the new page.
    connect(page_, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) {
                if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) return;
                if (lastUrl_.isEmpty() || info.url() != lastUrl_) return;
                PageLoaded(info.status() == QWebEngineLoadingInfo::LoadSucceededStatus);
            });
}

WebEngineView::~WebEngineView() {
    OnDocumentComplete = nullptr;
    OnShowMessage = nullptr;
}

void WebEngineView::RegisterPageScheme() {
    QWebEngineUrlScheme scheme(PageScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QStringList WebEngineView::RefusedRequests() {
    QMutexLocker lock(&guard);
    return refused;
}

void WebEngineView::Navigate(const std::string& localPath) {
    // Each render is a fresh navigation, shown from its top, under an address of
    // its own (see FileOfPath) even though the files are always the same.
    static quint64 counter = 0;
    const QString path = QString::fromStdString(localPath);
    const int slash = path.lastIndexOf('/');
    {
        QMutexLocker lock(&guard);
        pageFolder = path.left(slash + 1);
    }
    QUrl url;
    url.setScheme(PageScheme);
    url.setHost(PageHost);
    url.setPath("/" + QString::number(++counter) + "/" + path.mid(slash + 1));
    lastUrl_ = url;
    page_->load(url);
}

QUrl WebEngineView::EmptyPageUrl() const {
    if (EmptyPageHtml.isEmpty()) return QUrl("about:blank");
    return QUrl("data:text/html;charset=utf-8," +
                QString::fromLatin1(QUrl::toPercentEncoding(EmptyPageHtml)));
}

void WebEngineView::SetBackground(const QColor& colour) {
    page_->setBackgroundColor(colour);
}

void WebEngineView::Clear() {
    lastUrl_ = QUrl();
    document_ = 0;
    page_->load(EmptyPageUrl());
}

void WebEngineView::ShowMessage(const std::u16string& text) {
    Deliver([&] {
        if (OnShowMessage) OnShowMessage(text);
    });
}

void WebEngineView::PageLoaded(bool ok) {
    // A page that failed to load is said; the reader goes on with what is shown.
    if (!ok)
        Deliver([this] {
            throw EFileError("The page " + lastUrl_.toString().toStdString() +
                             " could not be shown");
        });
    ++document_;
    Deliver([this] {
        if (OnDocumentComplete) OnDocumentComplete();
    });
}

void WebEngineView::Run(const QString& script, std::function<void(const QVariant&)> answer) {
    if (!answer) {
        page_->runJavaScript(script, QWebEngineScript::ApplicationWorld);
        return;
    }
    std::weak_ptr<char> alive = alive_;
    page_->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                         [this, alive, answer](const QVariant& v) {
                             if (!alive.expired()) Deliver([&] { answer(v); });
                         });
}

void WebEngineView::AskIds(int x, int y, IdsAnswer answer) {
    // The element at the point, and the place at the top edge.
    const QString js = QString(
                           "(function(){var e=document.elementFromPoint(%1,%2);"
                           "var t=window.tavistoTop?window.tavistoTop():['',0,0];"
                           "return [e?e.id:null,t[0],t[1],t[2]];})()")
                           .arg(x)
                           .arg(y);
    Run(js, [answer](const QVariant& v) {
        const QVariantList l = v.toList();
        if (l.size() != 4) return answer(false, {}, {}, 0, 0);
        const bool ok = !l[0].isNull() && l[0].isValid();
        answer(ok, l[0].toString().toStdString(), l[1].toString().toStdString(),
               std::max(0, l[2].toInt()), l[3].toInt());
    });
}

void WebEngineView::ScrollParagraphIntoView(const std::string& id, int32_t character) {
    Run(QString("window.tavistoGo&&window.tavistoGo(%1,%2)")
            .arg(JsString(QString::fromStdString(id)))
            .arg(std::max(0, character)));
}

void WebEngineView::WhenPainted(std::function<void()> f) {
    // Two frames on: the first paints what was asked before, the second
    // begins once it has been shown. Asked again until then.
    Run("window.tavistoPainted=0;requestAnimationFrame(function(){"
        "requestAnimationFrame(function(){window.tavistoPainted=1;});});");
    AskPainted(std::move(f), 125);
}

void WebEngineView::AskPainted(std::function<void()> f, int left) {
    Run("window.tavistoPainted===1", [this, f, left](const QVariant& v) {
        if (v.toBool() || left <= 0) return f();
        QTimer::singleShot(8, this, [this, f, left] { AskPainted(f, left - 1); });
    });
}

void WebEngineView::ScrollToBottom() {
    Run("window.scrollTo(0, document.documentElement.scrollHeight)");
}

void WebEngineView::ScrollBy(int dx, int dy, std::function<void(ScrollState)> done) {
    Scroll(QString("window.scrollBy(%1,%2);").arg(dx).arg(dy), std::move(done));
}

void WebEngineView::ScrollByScreen(int dy, std::function<void(ScrollState)> done) {
    // The letter at the top edge's middle: when the edge cuts it, the page
    // goes back by the part cut, and its line is whole. Not at the page's
    // end: there the next PgDn must find the page unmoved, to turn it.
    Scroll(QString("window.scrollBy(0,%1);"
                   "var c=window.scrollY!=y&&window.scrollY+window.innerHeight<"
                   "document.documentElement.scrollHeight-1&&"
                   "document.caretRangeFromPoint(window.innerWidth/2,1);"
                   "if(c&&c.startContainer.nodeType==3&&"
                   "c.startOffset<c.startContainer.length){"
                   "var k=document.createRange();k.setStart(c.startContainer,c.startOffset);"
                   "k.setEnd(c.startContainer,c.startOffset+1);var r=k.getBoundingClientRect();"
                   "if(r.top<0&&r.bottom>0)window.scrollBy(0,Math.floor(r.top));}")
               .arg(dy),
           std::move(done));
}

void WebEngineView::Scroll(const QString& move, std::function<void(ScrollState)> done) {
    const QString js = "(function(){var y=window.scrollY;" + move +
                       "var e=document.documentElement;var n=window.scrollY;"
                       "return [n!=y, n<=0, n+window.innerHeight>=e.scrollHeight-1];})()";
    if (!done) return Run(js);
    Run(js, [done](const QVariant& v) {
        const QVariantList l = v.toList();
        ScrollState st;
        if (l.size() == 3) {
            st.moved = l[0].toBool();
            st.atTop = l[1].toBool();
            st.atBottom = l[2].toBool();
        }
        done(st);
    });
}

void WebEngineView::JoinPage(AheadPlace where, int32_t page, int32_t shownPage,
                             const std::string& html, std::function<void(bool)> done) {
    Run(QString("window.tavistoJoin?window.tavistoJoin(%1,%2,%3,%4):false")
            .arg(where == AheadPlace::Next ? "true" : "false")
            .arg(page)
            .arg(shownPage)
            .arg(JsString(QString::fromUtf8(html.data(), qsizetype(html.size())))),
        [done](const QVariant& v) { done(v.toBool()); });
}

void WebEngineView::DropJoinedPage(int32_t page) {
    Run(QString("window.tavistoDrop&&window.tavistoDrop(%1)").arg(page));
}

void WebEngineView::Highlight(const std::string& paragraphId, const std::u16string& text, int nth) {
    // Finds the text in the paragraph's own text, letter case, runs of white
    // space and soft hyphens aside, and wraps it in <mark> elements, one per text node it spans.
    const QString js =
        QString(
            "(function(id,q,nth){var old=document.querySelectorAll('mark.tavisto');"
            "for(var i=0;i<old.length;i++){var m=old[i];"
            "m.replaceWith(document.createTextNode(m.textContent));}"
            "var p=document.getElementById(id);if(!p)return false;"
            "p.normalize();var w=document.createTreeWalker(p,NodeFilter.SHOW_TEXT);"
            "var nodes=[],s='',map=[];for(var n=w.nextNode();n;n=w.nextNode()){"
            "for(var k=0;k<n.data.length;k++){var c=n.data[k];if(c=='\\u00ad')continue;"
            "if(/\\s/.test(c)){if(s.length&&s[s.length-1]==' ')continue;c=' ';}"
            "s+=c.toLowerCase();map.push([n,k]);}}"
            "q=q.replace(/\\s+/g,' ').toLowerCase();var at=-1;"
            "for(var k=0;k<=nth;k++){at=s.indexOf(q,at+1);if(at<0)break;}"
            "if(at<0||!q.length)return false;var a=map[at],b=map[at+q.length-1];"
            "var r=document.createRange();r.setStart(a[0],a[1]);r.setEnd(b[0],b[1]+1);"
            "var mk=document.createElement('mark');mk.className='tavisto';"
            "try{r.surroundContents(mk);}catch(e){mk.appendChild(r.extractContents());"
            "r.insertNode(mk);}var b=mk.getBoundingClientRect();"
            "if(b.top<0||b.bottom>window.innerHeight)mk.scrollIntoView({block:'center'});"
            "return true;})(%1,%2,%3)")
            .arg(JsString(QString::fromStdString(paragraphId)))
            .arg(JsString(QString::fromStdU16String(text)))
            .arg(nth);
    Run(js);
}
