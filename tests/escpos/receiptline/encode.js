// Writes each sample receipt twice into the folder given: NAME.bin, the ESC/POS bytes the
// library encodes for a 42-column printer, and NAME.txt, the same receipt as it lays it out in
// plain text. The decoder's differential test reads them back; the codes receipt's bar codes and
// QR code must scan back to the data written here.
'use strict';
const fs = require('fs');
const path = require('path');
const receiptline = require('receiptline');

const receipts = {
    english: {
        encoding: 'cp437',
        doc: [
            '123xxstreet,xxxcity,xxxxstate',
            '|TEL 9999-99-9999',
            '---',
            'apples | $20.00',
            'grapes | $30.00',
            'bananas | $40.00',
            '"Tax excluded." | "$200.00',
            'Tax 5.0% | $10.00',
            '---',
            '^Total | ^$210.00',
            '_Customer\'s payment_ | $250.00',
            'Change | $40.00',
            '^^^Thank you',
            'Print test using serial interface.',
            'A line long enough to run past the forty-two columns of the paper and wrap',
            '=',
        ].join('\n'),
    },
    codes: {
        encoding: 'cp437',
        doc: [
            'Receipt 0042',
            '{code:RCPT-0042; option:code128,2,72,hri}',
            '{code:4006381333931; option:ean,2,72,hri}',
            '{code:https://receipts.example/r/0042; option:qrcode,4,m}',
            '=',
        ].join('\n'),
    },
    korean: {
        encoding: 'cp949',
        doc: [
            '금천지점 | (XX쇼핑)',
            '온새디지털밸리 1층|',
            '사업자:999-99-99999 | Tel:999-9999',
            '---',
            '상품명 | 단가 | 수량 | 금액',
            'ROLL지 | 1,000 | 10 | 10,000',
            '리본 2Cm | 1,000 | 4 | 4,000',
            '"합계" | ^30,000',
            '^쿼리반트(주)',
            '=',
        ].join('\n'),
    },
};

const out = process.argv[2];
for (const [name, receipt] of Object.entries(receipts)) {
    const printer = { cpl: 42, encoding: receipt.encoding, spacing: false, cutting: true };
    const escpos = receiptline.transform(receipt.doc, { ...printer, command: 'escpos' });
    const text = receiptline.transform(receipt.doc, { ...printer, command: 'text' });
    fs.writeFileSync(path.join(out, name + '.bin'), Buffer.from(escpos, 'binary'));
    fs.writeFileSync(path.join(out, name + '.txt'), text, 'utf8');
}
