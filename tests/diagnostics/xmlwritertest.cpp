#include "fixtures.h"

#include "diagnostics/xmlattribute.h"
#include "diagnostics/xmlnode.h"
#include "diagnostics/xmlwriter.h"

#include <malloc.h>

using namespace com::corvane::vesk;

namespace {

// Bytes the process holds from the heap, mapped blocks included.
long heapInUse()
{
    const auto info = mallinfo2();
    return static_cast<long>(info.uordblks + info.hblkhd);
}

class XmlWriterTest : public IsolatedTest { };

TEST_F(XmlWriterTest, WritesTwoLevelTreeByteForByte)
{
    XmlNode root(L"Crash Report");
    XmlNode app(L"My App");
    app.addElement(XmlElement(L"Module Name", L"a<b>&c \u00e9\U0001F600"));
    app.addElement(XmlElement(L"Empty", L""));
    app.addElement(XmlElement(L"", L"skipped"));
    XmlElement fields(L"Fields", L"text not written");
    fields.addAttribute(XmlAttribute(L"first field", L"v 1", L"Custom Field"));
    fields.addAttribute(XmlAttribute(L"", L"x", L"T"));
    fields.addAttribute(XmlAttribute(L"n", L"", L"T"));
    fields.addAttribute(XmlAttribute(L"n", L"x", L""));
    fields.addAttribute(XmlAttribute(L"second", L"<v2/>", L"T"));
    app.addElement(fields);
    app.addChild(XmlNode(L"Leaf"));
    root.addChild(app);
    // Changes after adding do not reach the document.
    app.addElement(XmlElement(L"Late", L"not written"));
    fields.addAttribute(XmlAttribute(L"late", L"no", L"T"));

    const auto file = this->root() / "out.xml";
    XmlWriter writer(file);
    writer.setRoot(new XmlNode(std::wstring(100000, L'r')));
    const long held = heapInUse();
    EXPECT_EQ(writer.setRoot(&root), 0);
    EXPECT_GT(held - heapInUse(), 400000);  // the root it replaced was freed
    EXPECT_EQ(writer.write(), 0);
    EXPECT_EQ(readFile(file),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Crash_Report>\n\t<My_App>\n"
              "\t<Module_Name>a<b>&c \xc3\xa9\xf0\x9f\x98\x80</Module_Name>\n\t<Empty></Empty>\n"
              "\t<Fields>\n\t<Custom Field name=\"first_field\">v 1</Custom Field>\n"
              "\t<T name=\"second\"><v2/></T>\n\t</Fields>\n"
              "\t\t<Leaf>\n\t\t</Leaf>\n\t</My_App>\n</Crash_Report>\n");
}

}  // namespace
