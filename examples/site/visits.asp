<%
Dim pageTitle, page
pageTitle = "Sessions and application state"
Session("visits") = Session("visits") + 1
Application.Lock
Application("visits") = Application("visits") + 1
Application.Unlock
page = Request.QueryString("page")
If page = "" Then page = "visits"
PageHits(page) = PageHits(page) + 1
VisitedPages(page) = Now
%>
<!--#include file="inc/header.inc"-->
<p>You have opened this page <%= Session("visits") %> time(s) in this session
(<%= Session.SessionID %>, kept <%= Session.Timeout %> minutes after your last request).</p>
<p>All visitors together: <%= Application("visits") %>.</p>
<p>Pages counted for everyone (global.asa's application object):</p>
<ul>
<% For Each page In PageHits.Keys %>
<li><%= Server.HTMLEncode(page) %>: <%= PageHits(page) %></li>
<% Next %>
</ul>
<p>Pages you named in this session: <%= VisitedPages.Count %>.
Try <a href="visits.asp?page=first">first</a> or <a href="visits.asp?page=second">second</a>.</p>
<!--#include file="inc/footer.inc"-->
