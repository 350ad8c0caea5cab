#include "isolatedenvironment.h"

#include "diagnostics/xmlattribute.h"
#include "diagnostics/xmlnode.h"
#include "diagnostics/xmlwriter.h"

#include <cstdlib>
#include <new>

using namespace com::corvane::vesk;

// Watches for one block being freed, to see that the writer deletes a root.
namespace {
void* g_watched = nullptr;
bool g_watchedFreed = false;

void release(void* p) noexcept
{
    if (p && p == g_watched)
        g_watchedFreed = true;
    std::free(p);
}
}

void* operator new(std::size_t size)
{
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    release(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    release(p);
}

namespace {

class XmlWriterTest : public IsolatedEnvironment {
protected:
    std::filesystem::path file() const { return m_root / "out.xml"; }
};

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

TEST_F(XmlWriterTest, WritesTwoLevelTreeByteForByte)
{
    XmlNode root(L"Crash Report");
    XmlNode app(L"My App");
    app.addElement(XmlElement(L"Module Name", L"a<b>&c \u00e9"));
    app.addElement(XmlElement(L"Empty", L""));
    app.addElement(XmlElement(L"", L"skipped"));
    XmlElement fields(L"Fields", L"text not written");
    fields.addAttribute(XmlAttribute(L"first field", L"v 1", L"Custom Field"));
    fields.addAttribute(XmlAttribute(L"", L"x", L"T"));
    fields.addAttribute(XmlAttribute(L"n", L"", L"T"));
    fields.addAttribute(XmlAttribute(L"n", L"x", L""));
    fields.addAttribute(XmlAttribute(L"second", L"<v2/>", L"T"));
    app.addElement(fields);
    XmlElement allSkipped(L"AllSkipped", L"");
    allSkipped.addAttribute(XmlAttribute(L"n", L"", L"T"));
    app.addElement(allSkipped);
    app.addChild(XmlNode(L"Leaf"));
    root.addChild(app);
    // Changes after adding do not reach the document.
    app.addElement(XmlElement(L"Late", L"not written"));
    fields.addAttribute(XmlAttribute(L"late", L"no", L"T"));

    XmlWriter writer(file());
    ASSERT_TRUE(writer.isOpen());
    EXPECT_EQ(writer.setRoot(&root), 0);
    EXPECT_EQ(writer.write(), 0);
    EXPECT_EQ(readFile(file()), kDeclaration
                                    + "<Crash_Report>\n"
                                      "\t<My_App>\n"
                                      "\t<Module_Name>a<b>&c \xc3\xa9</Module_Name>\n"
                                      "\t<Empty></Empty>\n"
                                      "\t<Fields>\n"
                                      "\t<Custom Field name=\"first_field\">v 1</Custom Field>\n"
                                      "\t<T name=\"second\"><v2/></T>\n"
                                      "\t</Fields>\n"
                                      "\t<AllSkipped>\n"
                                      "\t</AllSkipped>\n"
                                      "\t\t<Leaf>\n"
                                      "\t\t</Leaf>\n"
                                      "\t</My_App>\n"
                                      "</Crash_Report>\n");
}

TEST_F(XmlWriterTest, ResultCodes)
{
    std::ostringstream out;
    EXPECT_EQ(XmlElement(L"", L"x").write(out), 1);
    EXPECT_EQ(XmlAttribute(L"n", L"", L"T").write(out), 5);
    EXPECT_EQ(XmlAttribute(L"", L"v", L"T").write(out), 5);
    EXPECT_EQ(XmlAttribute(L"n", L"v", L"").write(out), 5);
    EXPECT_EQ(out.str(), "");

    {
        XmlWriter writer(file());
        EXPECT_EQ(writer.write(), 3);
    }
    EXPECT_EQ(readFile(file()), kDeclaration);  // written at once, nothing more

    // A file that cannot be created is reported by write().
    XmlWriter nowhere(m_root / "missing" / "out.xml");
    EXPECT_FALSE(nowhere.isOpen());
    XmlNode root(L"Root");
    nowhere.setRoot(&root);
    EXPECT_EQ(nowhere.write(), 2);
    EXPECT_FALSE(std::filesystem::exists(m_root / "missing"));
}

TEST_F(XmlWriterTest, SetRootTwiceFreesTheFirst)
{
    XmlWriter writer(file());
    auto* first = new XmlNode(L"First");
    auto* second = new XmlNode(L"Second");
    g_watched = first;
    g_watchedFreed = false;
    writer.setRoot(first);
    EXPECT_FALSE(g_watchedFreed);
    writer.setRoot(second);
    EXPECT_TRUE(g_watchedFreed);
    g_watched = nullptr;
    EXPECT_EQ(writer.write(), 0);
    EXPECT_EQ(readFile(file()), kDeclaration + "<Second>\n</Second>\n");
    EXPECT_EQ(writer.releaseRoot(), 0);
    EXPECT_EQ(writer.write(), 3);
}

TEST_F(XmlWriterTest, ElementsCopyAndCompare)
{
    XmlElement a(L"Alpha", L"1");
    a.addAttribute(XmlAttribute(L"n", L"v", L"T"));
    XmlElement b(L"Beta", L"2");
    b = a;
    a.assign(XmlElement(L"Other", L"3"));
    std::ostringstream out;
    b.write(out);
    EXPECT_EQ(out.str(), "\t<Alpha>\n\t<T name=\"n\">v</T>\n\t</Alpha>\n");
    EXPECT_TRUE(b.nameEquals(L"Alpha"));
    EXPECT_FALSE(a.nameEquals(b));
    EXPECT_TRUE(b.nameLess(a));
    EXPECT_FALSE(a.nameLess(b));

    XmlAttribute attribute(L"x y", L"v", L"Tag");
    XmlAttribute other(L"n", L"w", L"Other Tag");
    attribute.assign(other);
    EXPECT_EQ(attribute.tag(), L"Other Tag");
    EXPECT_EQ(attribute.name(), L"n");
    EXPECT_EQ(attribute.text(), L"w");
}

}  // namespace
