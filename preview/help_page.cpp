#include "codepage/codepage.h"
#include "preview/preview.h"

namespace ostrivel {

std::string_view HelpPageHtml() {
  // Kept in the program as UTF-8 for readability; the page itself is code page 936 text.
  static const std::string page = codepage::Utf8ToCp936(
      "<html>\r\n"
      "\r\n"
      "<head>\r\n"
      "<title>Ostrivel说明</title>\r\n"
      "</head>\r\n"
      "\r\n"
      "<body>\r\n"
      "<h3>Ostrivel说明</h3>\r\n"
      "<p>请先将要测试的代码复制到左边的编辑框中，再选择“程序”中的“测试”开始测试代码，或者直接按快捷键“F7”。</p>\r\n"
      "<p>当然啦，您也可以直接打开一个文档，也可以保存编辑框的源代码哦！</p>\r\n"
      "<p><a href=\"mailto:feedback@ostrivel.example.org\">提交BUG/建议</a></p>\r\n"
      "<p align=\"right\"><a href=\"https://ostrivel.example.org/\" target=\"_Blank\" ><b>作者：Ostrivel 开发组</b></a></p>\r\n"
      "</body>\r\n"
      "\r\n"
      "</html>");
  return page;
}

}  // namespace ostrivel
