<%
Dim pageTitle
pageTitle = "File upload"
%>
<!--#include file="inc/header.inc"-->
<form method="post" action="upload.asp" enctype="multipart/form-data">
  <p>Description: <input type="text" name="description"></p>
  <p>File: <input type="file" name="file"></p>
  <p><input type="submit" value="Upload"></p>
</form>
<% If Request.Form("file").Count > 0 Then %>
<p class="answer">Received <b><%= Server.HTMLEncode(Request.Form("file")(2)) %></b>
(<%= Server.HTMLEncode(Request.Form("description")) %>).
Uploads are kept outside the site, so nobody can run or fetch what was sent.</p>
<% End If %>
<!--#include file="inc/footer.inc"-->
