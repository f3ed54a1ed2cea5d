// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/HtmlLinks.h"

#include "harvest/PageCharset.h"

#include <gumbo.h>

#include <csetjmp>
#include <cstdlib>
#include <vector>

namespace {

// WHATWG URL "special" schemes: their "\" is a "/" and their authority is required.
bool isSpecialScheme(const QString& scheme)
{
    static const QStringList special = {QStringLiteral("http"), QStringLiteral("https"),
                                        QStringLiteral("ftp"),  QStringLiteral("ws"),
                                        QStringLiteral("wss"),  QStringLiteral("file")};
    return special.contains(scheme, Qt::CaseInsensitive);
}

// The scheme at the start of a URL text (RFC 3986 §3.1), or empty.
QString leadingScheme(const QString& text)
{
    if (text.isEmpty() ||
        !((text[0] >= u'a' && text[0] <= u'z') || (text[0] >= u'A' && text[0] <= u'Z')))
        return {};
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u':')
            return text.left(i);
        const bool schemeChar = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                                (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!schemeChar)
            return {};
    }
    return {};
}

// Every block gumbo allocates is linked into one list, so a parse that is ended
// early (by longjmp out of the allocator) or finished frees all of it at once,
// without gumbo's recursive tree destructor.
struct alignas(16) Block
{
    Block* prev;
    Block* next;
    size_t size;
};

struct Budget
{
    const std::atomic<bool>* cancel = nullptr;
    size_t maxMemory = 0;
    size_t used = 0;
    Block* head = nullptr;
    bool overMemory = false;
    std::jmp_buf exit;

    ~Budget()
    {
        while (head) {
            Block* next = head->next;
            std::free(head);
            head = next;
        }
    }
};

void* budgetAllocate(void* userdata, size_t size)
{
    auto* budget = static_cast<Budget*>(userdata);
    if (budget->cancel && budget->cancel->load(std::memory_order_relaxed))
        std::longjmp(budget->exit, 1);
    if (size > budget->maxMemory - budget->used) {
        budget->overMemory = true;
        std::longjmp(budget->exit, 1);
    }
    auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    if (!block) {
        budget->overMemory = true;
        std::longjmp(budget->exit, 1);
    }
    block->prev = nullptr;
    block->next = budget->head;
    block->size = size;
    if (budget->head)
        budget->head->prev = block;
    budget->head = block;
    budget->used += size;
    return block + 1;
}

void budgetFree(void* userdata, void* pointer)
{
    if (!pointer)
        return;
    auto* budget = static_cast<Budget*>(userdata);
    Block* block = static_cast<Block*>(pointer) - 1;
    if (block->prev)
        block->prev->next = block->next;
    else
        budget->head = block->next;
    if (block->next)
        block->next->prev = block->prev;
    budget->used -= block->size;
    std::free(block);
}

// Only C frames (gumbo's) lie between this setjmp and the allocator's longjmp, and
// this frame holds nothing to destroy.
GumboOutput* parseWithin(Budget* budget, const GumboOptions* options, const char* data, size_t size)
{
    if (setjmp(budget->exit) != 0)
        return nullptr;
    return gumbo_parse_with_options(options, data, size);
}

struct RawAddress
{
    bool image;
    QString value;
};

QString attributeValue(const GumboElement& element, const char* name, bool* present)
{
    const GumboAttribute* attribute = gumbo_get_attribute(&element.attributes, name);
    *present = attribute != nullptr;
    return attribute ? QString::fromUtf8(attribute->value) : QString();
}

} // namespace

QString HtmlLinks::Resolve(const QString& rawValue, const QUrl& base)
{
    // WHATWG URL parsing: leading and trailing C0 controls and spaces are stripped,
    // tabs and newlines anywhere are removed.
    qsizetype begin = 0;
    qsizetype end = rawValue.size();
    while (begin < end && rawValue[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && rawValue[end - 1].unicode() <= 0x20)
        --end;
    QString value;
    value.reserve(end - begin);
    for (qsizetype i = begin; i < end; ++i) {
        const QChar c = rawValue[i];
        if (c != u'\t' && c != u'\n' && c != u'\r')
            value.append(c);
    }

    QString scheme = leadingScheme(value);
    const bool special =
        scheme.isEmpty() ? isSpecialScheme(base.scheme()) : isSpecialScheme(scheme);
    if (special) {
        // In special URLs a backslash before the query or fragment is a slash.
        qsizetype stop = value.size();
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value[i] == u'?' || value[i] == u'#') {
                stop = i;
                break;
            }
        }
        for (qsizetype i = 0; i < stop; ++i) {
            if (value[i] == u'\\')
                value[i] = u'/';
        }
    }
    if (!scheme.isEmpty() && isSpecialScheme(scheme)) {
        QString rest = value.mid(scheme.size() + 1);
        if (scheme.compare(base.scheme(), Qt::CaseInsensitive) == 0 && !rest.startsWith(u"//")) {
            // "http:a.jpg" on an http page is relative to the page.
            value = rest;
        } else {
            // "http:/host/x" and "http:///host/x" name the host: slashes are ignored
            // before the authority of a special URL.
            qsizetype slashes = 0;
            while (slashes < rest.size() && rest[slashes] == u'/')
                ++slashes;
            value = scheme + QStringLiteral("://") + rest.mid(slashes);
        }
    }

    // RFC 3986 §5.2.2: an empty reference is the base without its fragment.
    const QUrl relative(value, QUrl::TolerantMode);
    if (!value.isEmpty() && !relative.isValid())
        return rawValue;
    QUrl absolute = value.isEmpty() ? base.adjusted(QUrl::RemoveFragment) : base.resolved(relative);
    if (!absolute.isValid())
        return rawValue;
    const QString absoluteScheme = absolute.scheme().toLower();
    if (absoluteScheme == u"http" || absoluteScheme == u"https") {
        if (absolute.host().isEmpty())
            return rawValue;
        // WHATWG URL serialising: no default port, an empty path is "/".
        if ((absoluteScheme == u"http" && absolute.port() == 80) ||
            (absoluteScheme == u"https" && absolute.port() == 443))
            absolute.setPort(-1);
        if (absolute.path().isEmpty())
            absolute.setPath(QStringLiteral("/"));
    }
    return absolute.toString(QUrl::FullyEncoded);
}

HtmlLinks HtmlLinks::Extract(const QByteArray& utf8, const QUrl& pageUrl,
                             const HtmlParseLimits& limits)
{
    HtmlLinks result;
    result.baseUrl = pageUrl;

    Budget budget;
    budget.cancel = limits.cancel;
    budget.maxMemory = limits.maxMemory;
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = budgetAllocate;
    options.deallocator = budgetFree;
    options.userdata = &budget;
    options.max_errors = 0; // parse errors are not wanted: do not keep them
    // The tree's blocks are freed by ~Budget.
    const GumboOutput* output =
        parseWithin(&budget, &options, utf8.constData(), size_t(utf8.size()));
    if (!output || !output->document) {
        result.error = budget.overMemory
                           ? QStringLiteral("the page needs more than %1 MiB to parse")
                                 .arg(limits.maxMemory >> 20)
                           : QStringLiteral("parsing was cancelled");
        return result;
    }

    // Walk the tree in document order with an explicit stack: a page nested
    // thousands of elements deep must not exhaust the call stack.
    std::vector<RawAddress> raw;
    bool haveBase = false;
    QString baseHref;
    std::vector<const GumboNode*> stack{output->document};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        const GumboVector* children = nullptr;
        if (node->type == GUMBO_NODE_DOCUMENT) {
            children = &node->v.document.children;
        } else if (node->type == GUMBO_NODE_ELEMENT) {
            const GumboElement& element = node->v.element;
            children = &element.children;
            if (element.tag_namespace == GUMBO_NAMESPACE_HTML) {
                bool present = false;
                switch (element.tag) {
                case GUMBO_TAG_A:
                case GUMBO_TAG_AREA: {
                    QString href = attributeValue(element, "href", &present);
                    if (present)
                        raw.push_back({false, std::move(href)});
                    break;
                }
                case GUMBO_TAG_IMG: {
                    QString src = attributeValue(element, "src", &present);
                    if (present)
                        raw.push_back({true, std::move(src)});
                    break;
                }
                case GUMBO_TAG_BASE:
                    if (!haveBase) {
                        baseHref = attributeValue(element, "href", &present);
                        haveBase = present;
                    }
                    break;
                default:
                    break;
                }
            }
        }
        // GUMBO_NODE_TEMPLATE: its contents are a separate fragment, not the document.
        if (!children)
            continue;
        for (unsigned i = children->length; i > 0; --i)
            stack.push_back(static_cast<const GumboNode*>(children->data[i - 1]));
    }

    // WHATWG HTML "frozen base URL": the base element's href parsed against the
    // page URL; a failure, data: or javascript: falls back to the page URL.
    if (haveBase) {
        const QUrl base(Resolve(baseHref, pageUrl), QUrl::StrictMode);
        const QString scheme = base.scheme().toLower();
        if (base.isValid() && !base.isRelative() && scheme != u"data" && scheme != u"javascript")
            result.baseUrl = base;
    }
    for (const RawAddress& address : raw) {
        QString absolute = Resolve(address.value, result.baseUrl);
        (address.image ? result.images : result.links).append(std::move(absolute));
    }
    return result;
}

HtmlLinks HtmlLinks::FromPage(const QByteArray& page, const QByteArray& contentType,
                              const QUrl& pageUrl, const HtmlParseLimits& limits)
{
    return Extract(PageCharset::ToUtf8(page, contentType), pageUrl, limits);
}
