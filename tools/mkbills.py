#!/usr/bin/python3
"""Writes the bill fixtures of the import tests into tests/data/import/.

Run with Debian's python3 (openpyxl). The files are committed; run again only when the
fixtures change. Every name, number and amount in them is made up.
"""
import datetime
import os
import re
import sys
import zipfile

import openpyxl

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "import")

ALIPAY_APP = '''------------------------------------------------------------------------------------
导出信息：
姓名：张小明
支付宝账户：xiaoming***@example.com
起始时间：[2026-11-01 00:00:00]    终止时间：[2026-11-30 23:59:59]
导出交易类型：[全部]
导出时间：[2026-12-01 10:00:00]
共7笔记录
收入：1笔 8000.00元
支出：4笔 461.50元
不计收支：2笔 0.35元
----------------------支付宝（中国）网络技术有限公司  电子客户回单----------------------
交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,交易订单号,商家订单号,备注,
2026-11-02 08:15:30,餐饮美食,楼下早餐店,/,豆浆油条,支出,12.50,余额宝,交易成功,2026110222001400001\t,T2001\t,,
2026-11-03 19:02:11,日用百货,"超市, 第一分店",sup***@example.com,"牛奶 ""特浓""",支出,86.00  ,花呗,等待确认收货,2026110322001400002\t,T2002\t,,
2026-11-05 09:00:00,转账红包,某某科技有限公司,pay***@example.com,十一月工资,收入,8000.00,余额,交易成功,2026110522001400003\t,,,
2026-11-06 14:20:00,数码电器,电器商城,/,蓝牙音箱,支出,300.00,花呗,交易关闭,2026110622001400004\t,T2004\t,,
2026-11-07 00:30:00,投资理财,余额宝,/,余额宝-收益发放,不计收支,0.35,余额宝,交易成功,2026110722001400005\t,,,
2026-11-08 16:45:00,服饰装扮,衣服小店,/,毛衣,支出,58.00,余额宝,退款成功,2026110822001400006\t,T2006\t,,
2026-11-09 07:55:00,交通出行,地铁,/,乘车,支出,5.00,余额宝,交易成功,,,,
'''

ALIPAY_WEB = """支付宝交易记录明细查询
账号:[xiaoming***@example.com]
起始日期:[2026-11-01 00:00:00]    终止日期:[2026-12-01 00:00:00]
---------------------------------交易记录明细列表------------------------------------
交易号                  ,商户订单号               ,交易创建时间              ,付款时间                ,最近修改时间              ,交易来源地     ,类型              ,交易对方            ,商品名称                ,金额（元）   ,收/支     ,交易状态    ,服务费（元）   ,成功退款（元）  ,备注                  ,资金状态     ,
2026111022001400011\t,T3001\t,2026-11-10 12:00:01 ,2026-11-10 12:00:05 ,2026-11-10 12:00:05 ,其他（包括阿里巴巴和外部商家）,即时到账交易          ,网上书店            ,编程书一本              ,99.00   ,支出      ,交易成功    ,0.00     ,30.00    ,                    ,已支出      ,
2026111122001400012\t,T3002\t,2026-11-11 20:10:00 ,2026-11-11 20:10:02 ,2026-11-12 09:00:00 ,其他（包括阿里巴巴和外部商家）,即时到账交易          ,文具店              ,笔记本                  ,20.00   ,支出      ,交易成功    ,0.00     ,20.00    ,                    ,已支出      ,
2026111222001400013\t,                         ,2026-11-12 08:00:00 ,2026-11-12 08:00:00 ,2026-11-12 08:00:00 ,支付宝网站     ,转账              ,李四                ,还钱                    ,100.00  ,收入      ,交易成功    ,0.00     ,0.00     ,                    ,已收入      ,
2026111322001400014\t,                         ,2026-11-13 10:00:00 ,2026-11-13 10:00:00 ,2026-11-13 10:00:00 ,支付宝网站     ,充值              ,招商银行            ,充值                    ,500.00  ,          ,交易成功    ,0.00     ,0.00     ,                    ,资金转移    ,
------------------------------------------------------------------------------------
共4笔记录
已收入:1笔,100.00元
待收入:0笔,0.00元
已支出:2笔,119.00元
待支出:0笔,0.00元
导出时间:[2026-12-01 10:05:00]    用户:张小明
"""

WECHAT_HEAD = [
    ["微信支付账单明细"],
    ["微信昵称：[小明]"],
    ["起始时间：[2026-11-01 00:00:00] 终止时间：[2026-11-30 23:59:59]"],
    ["导出类型：[全部]"],
    ["导出时间：[2026-12-01 10:00:00]"],
    [],
    ["共7笔记录"],
    ["收入：1笔 1234.56元"],
    ["支出：5笔 329.00元"],
    ["中性交易：1笔 100.00元"],
    ["注：1. 充值/提现/理财通购买/零钱通存取/信用卡还款等交易，将计入中性交易"],
    [],
    ["----------------------微信支付账单明细列表--------------------"],
    ["交易时间", "交易类型", "交易对方", "商品", "收/支", "金额(元)", "支付方式", "当前状态", "交易单号", "商户单号", "备注"],
]

WECHAT_ROWS = [
    ["2026-11-04 12:30:00", "商户消费", "快餐店", "午餐套餐", "支出", "¥25.00", "零钱", "支付成功", "4200001001\t", "M1001\t", "/"],
    ["2026-11-06 09:00:00", "转账", "小李", "/", "收入", "¥1,234.56", "/", "已收钱", "1000050001\t", "/", "/"],
    ["2026-11-07 18:20:00", "商户消费", "水果店", "苹果", "支出", "￥30.00", "零钱", "已退款(￥3.00)", "4200001002\t", "M1002\t", "/"],
    ["2026-11-08 10:00:00", "商户消费", "网店", "耳机", "支出", "¥199.00", "零钱", "已全额退款", "4200001003\t", "M1003\t", "/"],
    ["2026-11-09 11:11:11", "转账", "小王", "/", "支出", "¥50.00", "零钱", "对方已退还", "1000050002\t", "/", "/"],
    ["2026-11-10 08:00:00", "零钱提现", "招商银行(1234)", "/", "/", "¥100.00", "零钱", "提现已到账", "1000050003\t", "/", "/"],
    ["2026-11-04 12:30:00", "商户消费", "快餐店", "午餐套餐", "支出", "¥25.00", "零钱", "支付成功", "4200001001\t", "M1001\t", "/"],
]

# A second bill of the same account: one known transaction, two new ones.
WECHAT_LATER_ROWS = [
    ["2026-11-04 12:30:00", "商户消费", "快餐店", "午餐套餐", "支出", "¥25.00", "零钱", "支付成功", "4200001001\t", "M1001\t", "/"],
    ["2026-12-02 12:10:00", "商户消费", "快餐店", "牛肉面", "支出", "¥22.00", "零钱", "支付成功", "4200002001\t", "M2001\t", "/"],
    ["2026-12-03 08:00:00", "商户消费", "面包房", "吐司", "支出", "¥9.90", "零钱", "支付成功", "4200002002\t", "M2002\t", "/"],
]


def csv_cell(text):
    if any(c in text for c in ',"\n'):
        return '"' + text.replace('"', '""') + '"'
    return text


def wechat_csv(rows):
    lines = []
    for r in WECHAT_HEAD + rows:
        cells = r + [""] * (11 - len(r))
        lines.append(",".join(csv_cell(c) for c in cells))
    return "\r\n".join(lines) + "\r\n"


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def wechat_xlsx(name, rows):
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "微信支付账单明细"
    for r in WECHAT_HEAD:
        sheet.append(r)
    for i, r in enumerate(rows):
        cells = [c.strip("\t") for c in r]
        if i == 0:
            # The time of one row as a real date cell, the rest as text.
            cells[0] = datetime.datetime.strptime(cells[0], "%Y-%m-%d %H:%M:%S")
        sheet.append(cells)
    # A second sheet that must not be read.
    book.create_sheet("说明").append(["交易时间", "交易类型"])
    path = os.path.join(OUT, name)
    book.save(path)
    to_shared_strings(path)


def to_shared_strings(path):
    """Moves the sheet's inline strings into a shared string table, as Excel writes them."""
    with zipfile.ZipFile(path) as z:
        entries = [(i, z.read(i.filename)) for i in z.infolist()]
    strings = []

    def shared(m):
        strings.append(m.group(2))
        return '<c r="%s" t="s"><v>%d</v></c>' % (m.group(1), len(strings) - 1)

    out = []
    for info, data in entries:
        if info.filename == "xl/worksheets/sheet1.xml":
            data = re.sub(r'<c r="([A-Z]+[0-9]+)" t="inlineStr"><is><t>(.*?)</t></is></c>',
                          shared, data.decode()).encode()
        elif info.filename == "[Content_Types].xml":
            data = data.replace(b"</Types>", b'<Override PartName="/xl/sharedStrings.xml" ContentType='
                                b'"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>')
        elif info.filename == "xl/_rels/workbook.xml.rels":
            data = data.replace(b"</Relationships>", b'<Relationship Id="rIdSST" Type="http://schemas.openxmlformats.org/'
                                b'officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>')
        out.append((info.filename, data))
    sst = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
           '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="%d" uniqueCount="%d">' %
           (len(strings), len(strings)) + "".join("<si><t>%s</t></si>" % t for t in strings) + "</sst>")
    out.append(("xl/sharedStrings.xml", sst.encode()))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in out:
            z.writestr(zipfile.ZipInfo(name, (2026, 12, 1, 0, 0, 0)), data, zipfile.ZIP_DEFLATED)


def main():
    os.makedirs(OUT, exist_ok=True)
    write("alipay-app.csv", ALIPAY_APP.replace("\n", "\r\n").encode("gb18030"))
    write("alipay-web.csv", ALIPAY_WEB.replace("\n", "\r\n").encode("gb18030"))
    write("wechat.csv", b"\xef\xbb\xbf" + wechat_csv(WECHAT_ROWS).encode("utf-8"))
    write("wechat-later.csv", b"\xef\xbb\xbf" + wechat_csv(WECHAT_LATER_ROWS).encode("utf-8"))
    write("wechat-empty.csv", b"\xef\xbb\xbf" + wechat_csv([]).encode("utf-8"))
    wechat_xlsx("wechat.xlsx", WECHAT_ROWS)
    with open(os.path.join(OUT, "wechat.xlsx"), "rb") as f:
        xlsx = f.read()
    write("wechat-truncated.xlsx", xlsx[: len(xlsx) * 2 // 3])
    # Saved again by another program in the other encoding.
    write("wechat-gb18030.csv", wechat_csv(WECHAT_ROWS).encode("gb18030"))
    write("alipay-app-utf8.csv", ALIPAY_APP.encode("utf-8"))
    write("unrelated.csv", "姓名,电话,地址\r\n张三,123,北京\r\n".encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
