// The main window's connection to the driver's events. Every event names
// a receiver; an index outside the window's receiver tables (8 or more, or
// beyond the configured count) is dropped here.
#pragma once

#include "mainwindow.h"
#include "modebuttons.h"

namespace tessaly {

class MainWindow::Sink : public quorvin::IReceiverDriverEvents {
public:
    explicit Sink(MainWindow& w) : m_w(w) {}

    HRESULT DrvUpdated(std::int32_t count) override
    {
        m_w.onDrvUpdated(count);
        return S_OK;
    }
    HRESULT RxConnState(std::int16_t i, quorvin::ConnErr err) override
    {
        if (m_w.validIndex(i)) {
            m_w.onConnState(i, err);
        }
        return S_OK;
    }
    HRESULT RxDataError(std::int16_t, quorvin::DataErr) override { return S_OK; }
    HRESULT RxFrqUpdated(std::int16_t i, std::int32_t frq, std::int32_t) override
    {
        if (m_w.validIndex(i)) {
            m_w.onFrqUpdated(i, frq);
        }
        return S_OK;
    }
    HRESULT RxChnUpdated(std::int16_t i, std::int16_t chn) override
    {
        if (m_w.validIndex(i)) {
            m_w.onChnUpdated(i, chn);
        }
        return S_OK;
    }
    HRESULT RxModUpdated(std::int16_t i, quorvin::MODTYPE mod, std::int32_t bfo) override
    {
        if (m_w.validIndex(i)) {
            m_w.onModUpdated(i, mod, bfo);
        }
        return S_OK;
    }
    HRESULT RxFltUpdated(std::int16_t i, std::int32_t flt) override
    {
        if (m_w.validIndex(i)) {
            m_w.onFltUpdated(i, flt);
        }
        return S_OK;
    }
    HRESULT RxAgcUpdated(std::int16_t i, quorvin::AGCTYPE agc, std::int16_t level) override
    {
        if (m_w.validIndex(i) && m_w.isCurrentAndConnected(i)) {
            m_w.m_modes->agcUpdated(i, agc, level);
        }
        return S_OK;
    }
    HRESULT RxNBlUpdated(std::int16_t i, quorvin::NBLTYPE nbl, std::int16_t level) override
    {
        if (m_w.validIndex(i) && m_w.isCurrentAndConnected(i)) {
            m_w.m_modes->nblUpdated(i, nbl, level);
        }
        return S_OK;
    }
    HRESULT RxAttUpdated(std::int16_t i, quorvin::ATTSTATE att, std::int16_t level) override
    {
        if (m_w.validIndex(i) && m_w.isCurrentAndConnected(i)) {
            m_w.m_modes->attUpdated(i, att, level);
        }
        return S_OK;
    }
    HRESULT RxSqlUpdated(std::int16_t i, quorvin::SQLSTATE sql, std::int16_t) override
    {
        if (m_w.validIndex(i)) {
            m_w.onSqlUpdated(i, sql);
        }
        return S_OK;
    }
    HRESULT RxSMtUpdated(std::int16_t i, std::int32_t, std::int16_t, std::int16_t dbuv,
                         const std::string& spoint) override
    {
        if (m_w.validIndex(i)) {
            m_w.onSMtUpdated(i, dbuv, spoint);
        }
        return S_OK;
    }
    HRESULT RxHFFUpdated(std::int16_t, quorvin::HFFSTATE) override { return S_OK; }
    HRESULT RxChnStatus(std::int16_t i, std::int16_t chn, std::int32_t frq, std::int32_t bfo, std::int32_t mod,
                        std::int32_t flt, std::int32_t agc, std::int32_t msk) override
    {
        if (m_w.validIndex(i)) {
            m_w.onChnStatus(i, chn, frq, bfo, mod, flt, agc, msk);
        }
        return S_OK;
    }
    HRESULT RxOutUpdated(std::int16_t i, std::int16_t num, std::int32_t) override
    {
        if (m_w.validIndex(i)) {
            m_w.onOutUpdated(i, num);
        }
        return S_OK;
    }
    HRESULT RxStpUpdated(std::int16_t i, std::int32_t) override
    {
        if (m_w.validIndex(i)) {
            m_w.onStpUpdated(i);
        }
        return S_OK;
    }
    HRESULT RxRmtState(std::int16_t i, std::int32_t sts) override
    {
        if (m_w.validIndex(i)) {
            m_w.onRmtState(i, sts);
        }
        return S_OK;
    }

private:
    MainWindow& m_w;
};

}  // namespace tessaly
