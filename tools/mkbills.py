#!/usr/bin/python3
"""Writes the bill fixtures of the import tests into tests/data/import/.

Run with Debian's python3 (openpyxl). The files are committed; run again only when the
fixtures change. Every name, number and amount in them is made up.
"""
import csv
import datetime
import io
import os
import re
import subprocess
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

# Exports of other bookkeeping apps and debit card statements of banks, made up from what
# their header rows are known to hold. Columns stand in orders of their own: the reader
# finds them by name.
SUISHOUJI_CSV = """随手记导出文件(headers:v5;app:android;date:2026-12-01)
交易类型,日期,类别,子类别,账户,账户币种,金额,成员,备注,关联Id
支出,2026-11-02 08:15:00,餐饮,早餐,现金,CNY,12.50,,豆浆油条,
收入,2026-11-05 09:00:00,职业收入,工资收入,工资卡,CNY,8000.00,,十一月工资,
转出,2026-11-06 10:00:00,转账,,工资卡,CNY,500.00,,转到钱包,T100
转入,2026-11-06 10:00:00,转账,,钱包,CNY,500.00,,转到钱包,T100
余额变更,2026-11-07 00:00:00,余额变更,,现金,CNY,-3.20,,,
支出,2026-11-08 18:30:00,交通,公交,交通卡,CNY,2.00,,,
支出,2026-11-08 18:30:00,交通,公交,交通卡,CNY,2.00,,,
支出,2026-11-09 12:00:00,餐饮,,现金,CNY,"1,234.00",,"聚餐, 同学会",
"""

QIANJI_CSV = """时间,分类,类型,金额,账户1,账户2,备注,账单标记,账单图片
2026-11-03 12:00,午餐,支出,25.5,支付宝,,牛肉面,,
2026-11-04 09:00,工资,收入,6000,银行卡,,,,
2026-11-05 10:00,,转账,1000,银行卡,支付宝,,,
2026/11/06 20:15,购物,支出,199.00,信用卡,,耳机,,
"""

KOUDAI_CSV = """时间,收支类型,账目分类,金额,账户,账户类型,账本,成员,备注
2026-11-10,支出,日用,35.00,微信,第三方支付,日常账本,妈妈,洗衣液
2026-11-11,收入,红包,66.00,微信,第三方支付,日常账本,妈妈,生日红包
2026-11-12,转账,,200.00,银行卡,储蓄卡,日常账本,妈妈,
"""

ICBC_CSV = """明细查询文件下载
卡号: 6222 **** **** 1234,子账户: 00001
起始日期: 2026-11-01,截止日期: 2026-11-30

交易日期 ,摘要 ,交易详情 ,交易场所 ,交易国家或地区简称 ,钞/汇 ,交易金额(收入) ,交易金额(支出) ,交易币种 ,记账金额(收入) ,记账金额(支出) ,记账币种 ,余额 ,对方户名 ,对方账户
2026-11-02 ,消费 ,超市购物\t,某某超市\t,CHN ,钞 , ,86.40 ,人民币 , ,86.40 ,人民币 ,"9,913.60" ,某某超市有限公司\t,\t
2026-11-05 ,工资 ,代发工资\t,\t,CHN ,钞 ,"8,000.00" , ,人民币 ,"8,000.00" , ,人民币 ,"17,913.60" ,某某科技有限公司\t,6222****5678\t
2026-11-06 ,转账 ,本人账户转出\t,\t,CHN ,钞 , ,"2,000.00" ,人民币 , ,"2,000.00" ,人民币 ,"15,913.60" ,张小明\t,6217****9999\t
2026-11-08 ,信用卡还款 ,还款\t,\t,CHN ,钞 , ,"1,500.00" ,人民币 , ,"1,500.00" ,人民币 ,"14,413.60" ,张小明\t,\t
2026-11-09 ,消费 ,支付宝-某某餐厅\t,\t,CHN ,钞 , ,58.00 ,人民币 , ,58.00 ,人民币 ,"14,355.60" ,支付宝（中国）网络技术有限公司\t,\t
人民币合计 , , , , , ,"8,000.00" ,"3,644.40" , ,"8,000.00" ,"3,644.40" , , , ,
"""

CMB_CSV = """招商银行交易记录
账号: 6214 **** **** 5678
记账日期,货币,交易金额,联机余额,交易摘要,对手信息,客户摘要
2026-11-02,人民币,"-1,280.00","8,720.00",快捷支付,京东商城,
20261103,人民币,"5,000.00","13,720.00",转账汇入,李四,还钱
2026-11-04,人民币,-300.00,"13,420.00",信用卡还款,招商银行信用卡,
"""

CCB_HEAD = [["中国建设银行个人活期账户全部交易明细"], ["卡号：6227 **** **** 4321", "", "币种：人民币"], []]
CCB_COLUMNS = ["序号", "记账日", "交易日期", "交易金额", "账户余额", "交易类型", "交易对方", "交易状态"]
CCB_ROWS = [
    [1, "20261102", datetime.datetime(2026, 11, 2), -45.0, 955.0, "消费", "某某便利店", "成功"],
    [2, "20261103", datetime.datetime(2026, 11, 3), 1200.0, 2155.0, "转账存入", "王五", "成功"],
    [3, "20261104", datetime.datetime(2026, 11, 4), -99.9, 2155.0, "消费", "某某网店", "失败"],
    [4, "20261105", datetime.datetime(2026, 11, 5), -2000.0, 155.0, "信用卡还款", "张小明", "成功"],
]
CCB_FOOT = [[], ["以上数据仅供参考，具体以账户的实际交易为准"]]


def ccb_xlsx(name):
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "交易明细"
    for r in CCB_HEAD + [CCB_COLUMNS] + CCB_ROWS + CCB_FOOT:
        sheet.append(r)
    book.save(os.path.join(OUT, name))


def suishouji_xlsx(name):
    """The web export: the same columns in a workbook, dates as date cells."""
    book = openpyxl.Workbook()
    sheet = book.active
    rows = list(csv.reader(io.StringIO(SUISHOUJI_CSV)))
    sheet.append(rows[0])
    sheet.append(rows[1])
    for r in rows[2:]:
        r[1] = datetime.datetime.strptime(r[1], "%Y-%m-%d %H:%M:%S")
        r[6] = float(r[6].replace(",", ""))
        sheet.append(r)
    book.save(os.path.join(OUT, name))


# A household's own table of no known form, read through "导入设置"; the second file of the
# same header row is read by the saved mapping.
FAMILY_CSV = """我家的账本
日期,用途,金额,说明,经手人
2026/11/01,买菜,-35.50,菜市场,妈妈
2026/11/02,工资,"6,000.00",十一月,爸爸
2026/11/03,水电,-120.00,,妈妈
"""
FAMILY_LATER_CSV = """我家的账本
日期,用途,金额,说明,经手人
2026/12/01,买菜,-42.00,超市,爸爸
2026/12/05,奖金,800.00,,妈妈
"""

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
    write("suishouji.csv", b"\xef\xbb\xbf" + SUISHOUJI_CSV.replace("\n", "\r\n").encode("utf-8"))
    suishouji_xlsx("suishouji.xlsx")
    write("qianji.csv", b"\xef\xbb\xbf" + QIANJI_CSV.encode("utf-8"))
    write("koudai.csv", KOUDAI_CSV.encode("utf-8"))
    write("icbc.csv", ICBC_CSV.replace("\n", "\r\n").encode("gb18030"))
    write("cmb.csv", CMB_CSV.replace("\n", "\r\n").encode("gb18030"))
    ccb_xlsx("ccb.xlsx")
    # The payment apps deliver bills as ZIP archives locked with a password shown in the
    # app (traditional ZIP encryption); Info-ZIP's zip writes the same.
    locked = os.path.join(OUT, "wechat-locked.zip")
    if os.path.exists(locked):
        os.remove(locked)
    subprocess.run(["zip", "-q", "-j", "-X", "-P", "123456", locked, os.path.join(OUT, "wechat.csv")], check=True)
    write("family.csv", FAMILY_CSV.encode("utf-8"))
    write("family-later.csv", FAMILY_LATER_CSV.encode("gb18030"))
    write("unrelated.csv", "姓名,电话,地址\r\n张三,123,北京\r\n".encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
