#include "pinyin/PinyinReadings.h"

#include <QHash>

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <future>
#include <memory>
#include <mutex>

namespace {

// ICU reads every character one way. These characters are common in household items
// and read differently in different words (银行 yinhang, 自行车 zixingche); all their
// toneless readings are listed, "v" standing for ü.
const struct {
    char16_t ch;
    const char *readings;
} kMoreReadings[] = {
    {u'行', "xing hang"},    {u'长', "chang zhang"},  {u'重', "zhong chong"},
    {u'乐', "le yue"},       {u'还', "hai huan"},     {u'调', "tiao diao"},
    {u'便', "bian pian"},    {u'差', "cha chai ci"},  {u'都', "dou du"},
    {u'传', "chuan zhuan"},  {u'朝', "chao zhao"},    {u'地', "di de"},
    {u'和', "he huo hu"},    {u'会', "hui kuai"},     {u'角', "jiao jue"},
    {u'觉', "jue jiao"},     {u'卡', "ka qia"},       {u'了', "le liao"},
    {u'率', "lv shuai"},     {u'省', "sheng xing"},   {u'说', "shuo shui"},
    {u'着', "zhe zhao zhuo"}, {u'参', "can shen"},    {u'曾', "ceng zeng"},
    {u'给', "gei ji"},       {u'奇', "qi ji"},        {u'强', "qiang jiang"},
    {u'区', "qu ou"},        {u'属', "shu zhu"},      {u'系', "xi ji"},
    {u'薄', "bao bo"},       {u'弹', "tan dan"},      {u'校', "xiao jiao"},
    {u'约', "yue yao"},      {u'扎', "zha za"},       {u'粘', "nian zhan"},
    {u'厦', "sha xia"},      {u'藏', "cang zang"},    {u'降', "jiang xiang"},
    {u'壳', "ke qiao"},      {u'车', "che ju"},       {u'血', "xue xie"},
    {u'宿', "su xiu"},       {u'色', "se shai"},      {u'露', "lu lou"},
    {u'熟', "shu shou"},     {u'削', "xiao xue"},     {u'落', "luo la lao"},
    {u'没', "mei mo"},       {u'大', "da dai"},       {u'得', "de dei"},
    {u'数', "shu shuo"},     {u'模', "mo mu"},        {u'解', "jie xie"},
    {u'单', "dan shan chan"}, {u'盛', "sheng cheng"}, {u'茄', "qie jia"},
    {u'咖', "ka ga"},        {u'折', "zhe she"},      {u'称', "cheng chen"},
    {u'柏', "bai bo"},       {u'秘', "mi bi"},        {u'炮', "pao bao"},
    {u'圈', "quan juan"},    {u'朴', "pu piao po"},   {u'仔', "zai zi"},
    {u'乘', "cheng sheng"},  {u'识', "shi zhi"},      {u'似', "si shi"},
    {u'提', "ti di"},        {u'的', "de di"},        {u'叶', "ye xie"},
    {u'番', "fan pan"},      {u'度', "du duo"},       {u'脯', "fu pu"},
    {u'亲', "qin qing"},     {u'陆', "lu liu"},       {u'巷', "xiang hang"},
};

// Adds a spelling once; a spelling with ü (written "v") also gets its "u" form, the one
// most people type.
void AddSpelling(QStringList &spellings, const QString &spelling)
{
    if (spelling.isEmpty())
        return;
    if (!spellings.contains(spelling))
        spellings << spelling;
    if (spelling.contains(u'v')) {
        QString plain = spelling;
        plain.replace(u'v', u'u');
        if (!spellings.contains(plain))
            spellings << plain;
    }
}

// "lǜ" -> "lv" (then "lu" through AddSpelling); blanks of a reading that spans two
// syllables are dropped.
QString Toneless(const QString &latin)
{
    const QString decomposed = latin.normalized(QString::NormalizationForm_D).toLower();
    QString out;
    for (const QChar c : decomposed) {
        if (c == QChar(0x0308) && out.endsWith(u'u'))
            out.back() = u'v';
        else if (c >= u'a' && c <= u'z')
            out += c;
    }
    return out;
}

class TEngine {
public:
    static TEngine &Instance()
    {
        static TEngine engine;
        return engine;
    }

    void WarmUp()
    {
        // ICU keeps the compiled rules once an instance was made, so the worker's
        // instance is thrown away and later ones are quick.
        std::call_once(m_started, [this] {
            m_loading = std::async(std::launch::async, [] {
                            UErrorCode status = U_ZERO_ERROR;
                            std::unique_ptr<icu::Transliterator> t(
                                icu::Transliterator::createInstance("Han-Latin", UTRANS_FORWARD, status));
                        }).share();
        });
    }

    QStringList Readings(char32_t c)
    {
        const std::lock_guard lock(m_mutex);
        const auto cached = m_cache.constFind(c);
        if (cached != m_cache.constEnd())
            return *cached;
        QStringList spellings;
        if (icu::Transliterator *t = Transliterator()) {
            icu::UnicodeString text{UChar32(c)};
            const icu::UnicodeString original = text;
            t->transliterate(text);
            if (text != original)
                AddSpelling(spellings,
                            Toneless(QString::fromUtf16(reinterpret_cast<const char16_t *>(text.getBuffer()),
                                                        text.length())));
        }
        if (c <= 0xFFFF)
            for (const auto &more : kMoreReadings)
                if (more.ch == c)
                    for (const QString &r : QString::fromLatin1(more.readings).split(u' '))
                        AddSpelling(spellings, r);
        m_cache.insert(c, spellings);
        return spellings;
    }

    bool Available()
    {
        const std::lock_guard lock(m_mutex);
        return Transliterator() != nullptr;
    }

private:
    icu::Transliterator *Transliterator()
    {
        if (!m_triedCreate) {
            m_triedCreate = true;
            WarmUp();
            m_loading.wait();
            UErrorCode status = U_ZERO_ERROR;
            m_translit.reset(icu::Transliterator::createInstance("Han-Latin", UTRANS_FORWARD, status));
            if (U_FAILURE(status))
                m_translit.reset();
        }
        return m_translit.get();
    }

    std::once_flag m_started;
    std::shared_future<void> m_loading;
    std::mutex m_mutex;
    bool m_triedCreate = false;
    std::unique_ptr<icu::Transliterator> m_translit;
    QHash<char32_t, QStringList> m_cache;
};

bool IsSkipped(char32_t c)
{
    return QChar::isSpace(c) || QChar::isPunct(c) || QChar::isSymbol(c) ||
           QChar::category(c) == QChar::Other_Control || QChar::category(c) == QChar::Other_Format;
}

} // namespace

namespace Pinyin {

QStringList CharReadings(char32_t c)
{
    if (QChar::script(c) != QChar::Script_Han)
        return {};
    return TEngine::Instance().Readings(c);
}

TReadings ReadingsOf(const QString &text)
{
    TReadings tokens;
    for (const char32_t c : text.toUcs4()) {
        if (IsSkipped(c))
            continue;
        QStringList spellings = CharReadings(c);
        spellings << QString::fromUcs4(&c, 1).toLower();
        tokens.append(TReadingToken{spellings});
    }
    return tokens;
}

void WarmUp()
{
    TEngine::Instance().WarmUp();
}

bool Available()
{
    return TEngine::Instance().Available();
}

} // namespace Pinyin
