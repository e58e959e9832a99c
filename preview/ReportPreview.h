#pragma once
#include "output/report/CompositeReport.h"

#include <QScrollArea>

#include <memory>

class QLabel;

// Shows one page of a page store at a zoom (100: the page's own screen pixels) with scroll
// bars. Page numbers count from 1; a request outside 1 to the page count is ignored.
class TReportPreview : public QScrollArea {
    Q_OBJECT
public:
    explicit TReportPreview(QWidget *parent = nullptr);

    // Shows page 1 of store.
    void SetPageStore(std::shared_ptr<const TPageStore> store);
    std::shared_ptr<const TPageStore> PageStore() const { return m_store; }
    int PageCount() const { return m_store ? m_store->PageCount() : 0; }
    int PageNumber() const { return m_pageNumber; }
    // Shows the page scrolled to its top-left corner.
    void SetPageNumber(int number);
    int Zoom() const { return m_zoom; }
    void SetZoom(int percent);

private:
    void ShowPage();

    QLabel *m_page = nullptr;
    std::shared_ptr<const TPageStore> m_store;
    int m_pageNumber = 1;
    int m_zoom = 100;
};
